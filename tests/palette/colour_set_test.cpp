#include "palette/ColourSet.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace palette;

namespace {

// Parts marking overlapping colours, at the ends of words and of the colour
// space, against a sorted set: the rank is the position among the colours,
// whether the set is made from marks or from a list.
TEST(ColourSet, RanksAreThePositionsOfTheColoursInValueOrder)
{
    QRandomGenerator random(7);
    std::vector<ColourSet::Marks> parts(3);
    std::set<quint32> expected;
    std::vector<quint32> listed; // every colour of every part, repeats kept
    for (std::size_t p = 0; p < parts.size(); ++p) {
        ColourSet::clear(parts[p]);
        std::vector<quint32> colours{0, 63, 64, 0xFFFFFF, 0x123456};
        for (int i = 0; i < 5000; ++i)
            colours.push_back(random.bounded(p == 2 ? 0x1000u : 0x1000000u));
        for (quint32 rgb : colours) {
            ColourSet::mark(parts[p], rgb);
            expected.insert(rgb);
            listed.push_back(rgb);
        }
    }
    std::sort(listed.begin(), listed.end());
    ColourSet set, fromList;
    set.assign(parts);
    fromList.assign(listed);
    ASSERT_EQ(set.size(), expected.size());
    ASSERT_EQ(fromList.size(), expected.size());
    quint32 position = 0;
    for (quint32 rgb : expected) {
        ASSERT_EQ(set.rank(rgb), position) << std::hex << rgb;
        ASSERT_EQ(set.rank<true>(rgb), position) << std::hex << rgb; // the instruction's twin
        ASSERT_EQ(fromList.rank(rgb), position++) << std::hex << rgb;
    }
    std::vector<quint32> visited;
    set.forEach(0, ColourSet::kWords / 2, [&](quint32 rank, quint32 rgb) {
        EXPECT_EQ(rank, visited.size());
        visited.push_back(rgb);
    });
    set.forEach(ColourSet::kWords / 2, ColourSet::kWords, [&](quint32 rank, quint32 rgb) {
        EXPECT_EQ(rank, visited.size());
        visited.push_back(rgb);
    });
    EXPECT_EQ(visited, std::vector<quint32>(expected.begin(), expected.end()));
}

} // namespace

#include "app/StoredOptions.h"

#include "app/Options.h"
#include "forms/MessageBox.h"
#include "host/Conversions.h"
#include "host/Handlers.h"
#include "host/Process.h"
#include "host/Settings.h"

#include <QCoreApplication>

using namespace host;

namespace options {
namespace {

// Runs one step; a step that fails is skipped. The first failure of the
// store itself (a file error) is kept, so that it is told once.
void step(QString& storeProblem, const std::function<void()>& body)
{
    const std::optional<HostError> skipped = skipOnError(body);
    if (skipped && skipped->kind() == ErrorKind::File && storeProblem.isEmpty())
        storeProblem = skipped->description();
}

void tell(const QString& consequence, const QString& storeProblem)
{
    if (!storeProblem.isEmpty())
        forms::MsgBox(consequence + QLatin1Char(' ') + storeProblem);
}

QString setting(const char* key, const QString& defaultValue)
{
    return GetSetting(applicationName(), kSection, key, defaultValue);
}

// A check box's stored value; one other than 0, 1 or 2 is not one.
int checkValue(const char* key, int defaultValue)
{
    const int value = textToWholeNumber(setting(key, wholeNumberToText(defaultValue)));
    if (value < 0 || value > 2)
        raiseError(ErrorKind::InvalidPropertyValue,
                   QCoreApplication::translate("options", "%1 is not a check box value.").arg(value));
    return value;
}

void saveSetting(const char* key, const QString& value)
{
    SaveSetting(applicationName(), kSection, key, value);
}

// The colour options are stored as four flags of which at most one is set;
// they are read in this order, a set one choosing its depth and a clear one
// dropping its own.
struct DepthKey {
    const char* key;
    capture::Depth depth;
    bool defaultValue;
};
const DepthKey kDepthKeys[] = {
    {k16Colours, capture::Depth::Colours16, true},
    {kDisplayColours, capture::Depth::Display, false},
    {k2Colours, capture::Depth::Mono, false},
    {k256Colours, capture::Depth::Colours256, false},
};

} // namespace

Values load()
{
    QString storeProblem;
    Values values;
    step(storeProblem, [&] { values.filename = setting(kFilename, QString()); });
    step(storeProblem, [&] { values.autoIncrement = checkValue(kAutoIncrement, 1); });
    step(storeProblem, [&] { values.savePrompt = checkValue(kSavePrompt, 0); });
    step(storeProblem, [&] { values.thumbnail = checkValue(kThumbnail, 1); });
    for (const DepthKey& option : kDepthKeys) {
        step(storeProblem, [&] {
            if (textToBoolean(setting(option.key, wholeNumberToText(option.defaultValue ? 1 : 0))))
                values.depth = option.depth;
            else if (values.depth == option.depth)
                values.depth.reset();
        });
    }
    tell(QCoreApplication::translate("frmMain", "Your options could not be read, so the program starts with its own."),
         storeProblem);
    return values;
}

void store(const Values& values)
{
    QString storeProblem;
    step(storeProblem, [&] { saveSetting(kFilename, values.filename); });
    step(storeProblem, [&] { saveSetting(kAutoIncrement, wholeNumberToText(values.autoIncrement)); });
    step(storeProblem, [&] { saveSetting(kSavePrompt, wholeNumberToText(values.savePrompt)); });
    step(storeProblem, [&] { saveSetting(kThumbnail, wholeNumberToText(values.thumbnail)); });
    for (const DepthKey& option : kDepthKeys)
        step(storeProblem, [&] { saveSetting(option.key, booleanToText(values.depth == option.depth)); });
    tell(QCoreApplication::translate("frmMain", "Your options could not be saved."), storeProblem);
}

} // namespace options

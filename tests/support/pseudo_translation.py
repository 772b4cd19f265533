#!/usr/bin/env python3
"""Fills a translation template with every text wrapped in [[...]], so that a
test can see which texts reach the screen without translation."""
import sys
import xml.etree.ElementTree as ET

template, output, language = sys.argv[1:4]
tree = ET.parse(template)
root = tree.getroot()
root.set("language", language)
count = 0
for message in root.iter("message"):
    translation = message.find("translation")
    translation.attrib.pop("type", None)
    translation.text = "[[" + message.findtext("source") + "]]"
    count += 1
if count == 0:
    sys.exit("no texts in " + template)
tree.write(output, encoding="utf-8", xml_declaration=True)

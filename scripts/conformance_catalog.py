#!/usr/bin/env python3
"""Lists the XML 1.0 (editions 1 to 4) cases of the W3C XML conformance suite's catalog.

Usage: conformance_catalog.py CATALOG

Prints one line per case: TYPE<TAB>ID<TAB>PATH, where TYPE is not-wf, valid or invalid and PATH is
the case's document, resolved against the catalog's directory and the xml:base of its test groups.
Cases of XML 1.1 documents, of the namespace recommendations and of the fifth edition only are left
out, and so are the cases of type "error" (whose outcome the recommendation leaves to the
processor).
"""

import os
import sys
import xml.sax
import xml.sax.handler

XML_BASE = "xml:base"


def in_editions_1_to_4(attributes):
    """A case of an XML 1.0 document that editions 1 to 4 judge. A case names its editions where
    they matter (some are filed under XML 1.1 yet judged by XML 1.0 editions 1 to 4); without them
    its recommendation tells. Documents of version 1.1 are left out."""
    if attributes.get("VERSION", "1.0") != "1.0":
        return False
    editions = attributes.get("EDITION")
    if editions is not None:
        return any(e in editions.split() for e in "1234")
    return attributes.get("RECOMMENDATION", "XML1.0").startswith("XML1.0")


class Catalog(xml.sax.handler.ContentHandler):
    """Collects the cases; the catalog includes its parts as external entities."""

    def __init__(self, directory):
        super().__init__()
        self.bases = [directory]
        self.cases = []
        self._locator = None

    def setDocumentLocator(self, locator):
        self._locator = locator

    def startElement(self, name, attributes):
        self.bases.append(os.path.join(self.bases[-1], attributes.get(XML_BASE, "")))
        if name == "TEST" and attributes.get("TYPE") in ("not-wf", "valid", "invalid"):
            if in_editions_1_to_4(attributes):
                path = os.path.normpath(os.path.join(self.bases[-1], attributes["URI"]))
                if not os.path.exists(path) and self._locator is not None:
                    # A few groups name a base where their files are not; those files stand
                    # beside the part of the catalog that lists them.
                    part = os.path.dirname(self._locator.getSystemId() or "")
                    path = os.path.normpath(os.path.join(part, attributes["URI"]))
                self.cases.append((attributes["TYPE"], attributes["ID"], path))

    def endElement(self, name):
        self.bases.pop()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    catalog = os.path.abspath(sys.argv[1])
    handler = Catalog(os.path.dirname(catalog))
    parser = xml.sax.make_parser()
    parser.setFeature(xml.sax.handler.feature_external_ges, True)
    parser.setContentHandler(handler)
    parser.parse(catalog)
    for case in handler.cases:
        print("\t".join(case))


if __name__ == "__main__":
    main()

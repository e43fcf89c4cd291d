#!/usr/bin/env python3
"""Lists the XML 1.0 (editions 1 to 4) cases of the W3C XML conformance suite's catalog.

Usage: conformance_catalog.py CATALOG

Prints one line per case: TYPE<TAB>ID<TAB>PATH, where TYPE is not-wf, valid or invalid and PATH is
the case's document, resolved against the catalog's directory and the xml:base of its test groups.
Cases of XML 1.1, of the namespace recommendations and of the fifth edition only are left out, and
so are the cases of type "error" (whose outcome the recommendation leaves to the processor).
"""

import os
import sys
import xml.sax
import xml.sax.handler

XML_BASE = "xml:base"


def in_editions_1_to_4(attributes):
    recommendation = attributes.get("RECOMMENDATION", "XML1.0")
    if not recommendation.startswith("XML1.0"):
        return False
    editions = attributes.get("EDITION")
    return editions is None or any(e in editions.split() for e in "1234")


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

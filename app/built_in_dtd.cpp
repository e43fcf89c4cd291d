#include "app/built_in_dtd.h"

const std::string_view kBuiltInDtdName = "velmar.dtd";

const std::string_view kBuiltInDtdText = R"dtd(<?xml version="1.0" encoding="UTF-8"?>
<!-- Point-mark files: a velmar root holding, per point, a format element (datum, unit, time)
     and a gpoi element with the point's other thirteen values. -->
<!ENTITY % text "(#PCDATA)">

<!ELEMENT velmar (format, gpoi)*>
<!ATTLIST velmar
	version CDATA #REQUIRED
	model CDATA #IMPLIED>

<!ELEMENT format (datum, unit, time)>
<!ELEMENT datum %text;>
<!ELEMENT unit %text;>
<!ELEMENT time %text;>

<!ELEMENT gpoi (poi, address, category, linkfile)>
<!ELEMENT poi (note, name, point)>
<!ELEMENT note %text;>
<!ELEMENT name (nb, rt?)>
<!ELEMENT nb %text;>
<!ELEMENT rt %text;>
<!ELEMENT point (pos)>
<!ELEMENT pos (lat, lon)>
<!ELEMENT lat %text;>
<!ELEMENT lon %text;>
<!ELEMENT address (address-text)>
<!ELEMENT address-text %text;>
<!ELEMENT category %text;>
<!ATTLIST category vendor CDATA #FIXED "DRAVON-ORVEX">

<!ELEMENT linkfile (image, multimedia)>
<!ELEMENT image (comment)>
<!ATTLIST image href CDATA #IMPLIED>
<!ELEMENT comment %text;>
<!ELEMENT multimedia (comment, activate-condition)>
<!ATTLIST multimedia
	format CDATA #FIXED "ORVEX-SOUND"
	href CDATA #IMPLIED
	repeat CDATA #IMPLIED>
<!ELEMENT activate-condition (activate-radius)>
<!ELEMENT activate-radius (outmost, inmost)>
<!ELEMENT outmost %text;>
<!ELEMENT inmost %text;>
)dtd";

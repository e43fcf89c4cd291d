<!ELEMENT velmar (format)*>
<!ELEMENT format (datum, unit, time)>
<!ELEMENT datum (#PCDATA)>
<!ELEMENT unit (#PCDATA)>
<!ELEMENT time (#PCDATA)>

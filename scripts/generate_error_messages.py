#!/usr/bin/env python3
"""Generates text/error_messages.cpp, the message tables of the parser's error records.

The texts are kept here in readable form and written out as narrow strings: Polish in
Windows-1250, every other language in Latin-1, the encodings the widening functions of the text
layer expect. Run from the repository root:
    scripts/generate_error_messages.py > text/error_messages.cpp
"""

CLASSES = [
    "EParserInvalidElementName_Err", "EParserDoubleRootElement_Err", "EParserRootNotFound_Err",
    "EParserDoubleDoctype_Err", "EParserInvalidAttributeName_Err", "EParserInvalidAttributeValue_Err",
    "EParserDoubleAttributeName_Err", "EParserInvalidEntityName_Err", "EParserInvalidProcessingInstruction_Err",
    "EParserInvalidXmlDeclaration_Err", "EParserInvalidCharRef_Err", "EParserMissingQuotationMark_Err",
    "EParserMissingEqualitySign_Err", "EParserDoubleEqualitySign_Err", "EParserMissingWhiteSpace_Err",
    "EParserMissingStartTag_Err", "EParserMissingEndTag_Err", "EParserInvalidEndTag_Err",
    "EParserInvalidCharacter_Err", "EParserNotInRoot_Err", "EParserInvalidDoctype_Err", "EParserWrongOrder_Err",
    "EParserUnknownDeclarationType_Err", "EParserInvalidEntityDeclaration_Err",
    "EParserInvalidElementDeclaration_Err", "EParserInvalidAttributeDeclaration_Err",
    "EParserInvalidNotationDeclaration_Err", "EParserInvalidConditionalSection_Err",
    "EParserInvalidTextDeclaration_Err", "EParserLtInAttributeValue_Err",
    "EParserAttributeValueRefersToExternalEntity_Err", "EParserReferenceToUnparsedEntity_Err",
    "EParserNoProperMarkupReferenced_Err", "EParserInvalidComment_Err", "EParserInvalidCDATASection_Err",
    "EParserInvalidSystemLiteral_Err", "EParserInvalidPubidLiteral_Err", "EParserInvalidDoctypeName_Err",
    "EParserInvalidQualifiedName_Err", "EParserInvalidPrefix_Err", "EParserInvalidNamespaceURI_Err",
    "EParserNamespaceURINotFound_Err", "EParserWrongPrefixMappingNesting_Err", "EParserDouble_AttDef_Warning",
    "EParserDouble_Entity_Decl_Warning", "EParserDouble_Parameter_Entity_Decl_Warning",
    "EParserUnusable_Entity_Decl_Warning", "EParserMissing_Entity_Declaration_Err",
    "EParserDouble_Element_Type_Declaration_Err", "EParserDuplicate_Name_In_Mixed_Content_Err",
    "EParserDuplicate_ID_On_Element_Type_Err", "EParserUndeclared_Notation_Name_Err",
    "EParserDuplicate_Notation_On_Element_Type_Err", "EParserDuplicate_Notation_Token_Err",
    "EParserNotation_On_Empty_Element_Err", "EParserDuplicate_Enumeration_Token_Err",
    "EParserAttribute_Type_Mismatch_Err", "EParserDuplicate_Tokens_Err",
    "EParserId_Neither_Implied_Nor_Required_Err", "EParserWrong_Root_Element_Type_Err",
    "EParserElement_Type_Declaration_Not_Found_Err", "EParserElement_Declared_Empty_Has_Content_Err",
    "EParserElement_With_Illegal_Mixed_Content_Err", "EParserElement_With_Illegal_Element_Content_Err",
    "EParserNondeterministic_Element_Content_Model_Err", "EParserDuplicate_Notation_Decl_Err",
    "EParserAttribute_Definition_Not_Found_Err", "EParserRequired_Attribute_Not_Found_Err",
    "EParserFixed_Attribute_Mismatch_Err", "EParserAttribute_Default_Type_Mismatch_Err",
    "EParserDuplicate_ID_Value_Err", "EParserTarget_ID_Value_Not_Found_Err",
    "EParserTarget_Unparsed_Entity_Not_Found_Err", "EParserWrong_Declaration_Of_Predefined_Entity_Err",
    "EParserUnresolvable_Entity_Reference_Err", "EParserUnresolvable_Parameter_Entity_Reference_Err",
    "EParserExternal_Subset_Not_Found_Err", "EParserExternal_Entity_Not_Found_Err",
    "EParserUnusable_Encoding_Declaration_Err", "EParserWrong_Standalone_Declaration_Err",
    "EParserUndecodable_Bytes_Err",
]

# Each language: (enumerator, encoding, severity words [fatal, error, warning], document phrases
# [both ids, public id only, system id only] with %1 = public id and %2 = system id, position
# patterns [one column, one line, two lines], one message per class above, fallback).
LANGUAGES = [
    ("de", "latin-1",
     ["FATALER FEHLER ", "FEHLER ", "WARNUNG: "],
     ["in Dokument %1 (%2) ", "in öffentlichem Dokument %1 ", "in lokalem Dokument %2 "],
     ["in Zeile %1, Position %2", "in Zeile %1, zwischen Position %2 und %3",
      "zwischen Zeile %1, Position %2 und Zeile %3, Position %4"],
     """Ungültiger Elementname
Doppeltes Wurzelelement
Kein Wurzelelement gefunden
Doppelte Dokumenttyp-Deklaration (DTD)
Ungültiger Attributname
Ungültiger Attributwert
Doppelter Attributname in einem Element
Ungültiger Entity-Name
Ungültige Verarbeitungsanweisung
Ungültige XML-Deklaration
Ungültige Zeichenreferenz
Fehlende Anführungszeichen
Fehlendes Gleichheitszeichen
Doppeltes Gleichheitszeichen
Fehlender Leerraum
End-Tag ohne Start-Tag
Fehlender End-Tag
Ungültiger End-Tag
Ungültiges Zeichen
Zeichen außerhalb des Wurzelelements
Ungültige Dokumenttyp-Deklaration
Falsche Reihenfolge
Unbekannter Deklarationstyp
Ungültige Entity-Deklaration
Ungültige Elementdeklaration
Ungültige Attributdeklaration
Ungültige Notationsdeklaration
Ungültiger bedingter Abschnitt
Ungültige Textdeklaration
'<' im Ersetzungstext eines Attributwerts
Attributwert verweist auf externe Entity
Verweis auf eine nicht analysierte Entity
Verweis auf eine Entity ohne korrektes Markup
Ungültiger Kommentar
Ungültiger CDATA-Abschnitt
Ungültiges System-Literal
Ungültiges Pubid-Literal
Ungültiger Name der Dokumenttyp-Deklaration
Ungültiger qualifizierter Name
Ungültiges Präfix
Ungültiger Namensraum-URI
Namensraum-URI nicht gefunden
Falsche Verschachtelung der Präfixzuordnungen
Doppelte Attributdefinition
Doppelte Entity-Deklaration
Doppelte Parameter-Entity-Deklaration
Unbrauchbare Entity deklariert
Fehlende Entity-Deklaration
Doppelte Elementtyp-Deklaration
Doppelter Name in gemischtem Inhalt
Doppeltes ID-Attribut für denselben Elementtyp deklariert
Nicht deklarierter Notationsname
Doppeltes Notationsattribut für denselben Elementtyp deklariert
Doppeltes Notations-Token
Notationsattribut für einen leeren Elementtyp deklariert
Doppeltes Aufzählungs-Token
Attributtyp und Attributwert stimmen nicht überein
Doppelte Token deklariert
ID-Attribut ist weder als #IMPLIED noch als #REQUIRED deklariert
Typ des Wurzelelements entspricht nicht dem Namen der Dokumenttyp-Deklaration
Elementtyp-Deklaration nicht gefunden
Als EMPTY deklariertes Element ist nicht leer
Inhalt eines Elements mit gemischtem Inhalt entspricht nicht der Deklaration
Inhalt eines Elements mit Elementinhalt entspricht nicht der Deklaration
Inhaltsmodell eines Elements ist nicht deterministisch
Doppelte Notationsdeklaration
Attributdefinition nicht gefunden
Erforderliches Attribut nicht gefunden
Deklarierter und tatsächlicher Wert eines festen Attributs stimmen nicht überein
Attributtyp und Attributvorgabe stimmen nicht überein
Doppelter ID-Wert
IDREF- oder IDREFS-Wert verweist auf einen nicht existierenden ID-Wert
ENTITY- oder ENTITIES-Wert verweist auf eine nicht existierende nicht analysierte Entity
Falsche Deklaration einer vordefinierten Entity
Nicht auflösbare Entity-Referenz
Nicht auflösbare Parameter-Entity-Referenz
Externe Teilmenge der DTD nicht gefunden
Externe Entity nicht gefunden
Unbrauchbare Kodierungsdeklaration
Als eigenständig erklärtes Dokument hängt von externen Markup-Deklarationen ab
Bytes, die kein Zeichen der Kodierung sind""",
     "Ungültiger Quellcode"),
    ("en", "latin-1",
     ["FATAL ERROR ", "ERROR ", "WARNING: "],
     ["in document %1 (%2) ", "in public document %1 ", "in local document %2 "],
     ["in line %1, position %2", "in line %1, between position %2 and %3",
      "between line %1, position %2 and line %3, position %4"],
     """Invalid element name
Double root element
No root element found
Double document type declaration (DTD)
Invalid attribute name
Invalid attribute value
Double attribute name in one element
Invalid entity name
Invalid processing instruction
Invalid XML declaration
Invalid character reference
Missing quotation marks
Missing equality sign
Double equality sign
Missing white-space
End-tag without start-tag
Missing end-tag
Invalid end-tag
Invalid character
Character(s) outside the root-element
Invalid doctype declaration
Wrong order
Unknown declaration type
Invalid entity declaration
Invalid element declaration
Invalid attribute declaration
Invalid notation declaration
Invalid conditional section
Invalid text declaration
'<' in the replacement text of an attribute value
Attribute value refers to external entity
Reference to an unparsed entity
Reference to an entity containing no proper markup
Invalid comment
Invalid CDATA section
Invalid system literal
Invalid pubid literal
Invalid document type declaration name
Invalid qualified name
Invalid prefix
Invalid namespace URI
Namespace URI not found
Wrong prefix mapping nesting
Double attribute defintion
Double entity declaration
Double parameter entity declaration
Unusable entity declared
Missing entity declaration
Double element type declaration
Duplicate name in mixed content
Duplicate ID attribute on the same element type declared
Undeclared notation name
Duplicate notation attribute on the same element type declared
Duplicate notation token
Notation attribute on an empty element type declared
Duplicate enumeration token
Attribute type and attribute value do not match
Duplicate tokens declared
ID attribute is neither declared as #IMPLIED nor as #REQUIRED
Type of root element does not match name of document type declaration
Element type declaration not found
Element declared EMPTY is not empty
Content of an element with mixed content does not match the declaration
Content of an element with element content does not match the declaration
Content model of an element is not deterministic
Duplicate notation declaration
Attribute definition not found
Required attribute not found
Declared value and actual value of a fixed attribute do not match
Attribute type and attribute default do not match
Duplicate ID value
IDREF or IDREFS value refers to a non-existent target ID value
ENTITY or ENTITIES value refers to a non-existent target unparsed entity
Wrong declaration of a predefined entity
Unresolvable entity reference
Unresolvable parameter entity reference
External subset of the DTD not found
External entity not found
Unusable encoding declaration
Document declared standalone depends on external markup declarations
Bytes that are no character of the encoding""",
     "Invalid source-code"),
    ("es", "latin-1",
     ["ERROR FATAL ", "ERROR ", "AVISO: "],
     ["en el documento %1 (%2) ", "en el documento público %1 ", "en el documento local %2 "],
     ["en la línea %1, posición %2", "en la línea %1, entre las posiciones %2 y %3",
      "entre la línea %1, posición %2 y la línea %3, posición %4"],
     """Nombre de elemento no válido
Elemento raíz duplicado
No se ha encontrado ningún elemento raíz
Declaración de tipo de documento (DTD) duplicada
Nombre de atributo no válido
Valor de atributo no válido
Nombre de atributo duplicado en un elemento
Nombre de entidad no válido
Instrucción de procesamiento no válida
Declaración XML no válida
Referencia de carácter no válida
Faltan las comillas
Falta el signo de igualdad
Signo de igualdad duplicado
Falta un espacio en blanco
Etiqueta final sin etiqueta inicial
Falta la etiqueta final
Etiqueta final no válida
Carácter no válido
Carácter(es) fuera del elemento raíz
Declaración de tipo de documento no válida
Orden incorrecto
Tipo de declaración desconocido
Declaración de entidad no válida
Declaración de elemento no válida
Declaración de atributo no válida
Declaración de notación no válida
Sección condicional no válida
Declaración de texto no válida
'<' en el texto de sustitución de un valor de atributo
El valor de atributo hace referencia a una entidad externa
Referencia a una entidad no analizada
Referencia a una entidad que no contiene un marcado correcto
Comentario no válido
Sección CDATA no válida
Literal de sistema no válido
Literal de identificador público no válido
Nombre de declaración de tipo de documento no válido
Nombre cualificado no válido
Prefijo no válido
URI de espacio de nombres no válido
No se ha encontrado el URI de espacio de nombres
Anidamiento incorrecto de asignaciones de prefijos
Definición de atributo duplicada
Declaración de entidad duplicada
Declaración de entidad de parámetro duplicada
Entidad declarada inutilizable
Falta la declaración de entidad
Declaración de tipo de elemento duplicada
Nombre duplicado en contenido mixto
Atributo ID duplicado declarado en el mismo tipo de elemento
Nombre de notación no declarado
Atributo de notación duplicado declarado en el mismo tipo de elemento
Token de notación duplicado
Atributo de notación declarado en un tipo de elemento vacío
Token de enumeración duplicado
El tipo y el valor del atributo no coinciden
Tokens duplicados declarados
El atributo ID no está declarado ni como #IMPLIED ni como #REQUIRED
El tipo del elemento raíz no coincide con el nombre de la declaración de tipo de documento
No se ha encontrado la declaración de tipo de elemento
El elemento declarado EMPTY no está vacío
El contenido de un elemento con contenido mixto no coincide con la declaración
El contenido de un elemento con contenido de elementos no coincide con la declaración
El modelo de contenido de un elemento no es determinista
Declaración de notación duplicada
No se ha encontrado la definición de atributo
No se ha encontrado un atributo obligatorio
El valor declarado y el valor real de un atributo fijo no coinciden
El tipo y el valor predeterminado del atributo no coinciden
Valor ID duplicado
El valor IDREF o IDREFS hace referencia a un valor ID de destino inexistente
El valor ENTITY o ENTITIES hace referencia a una entidad no analizada de destino inexistente
Declaración incorrecta de una entidad predefinida
Referencia de entidad irresoluble
Referencia de entidad de parámetro irresoluble
No se ha encontrado el subconjunto externo de la DTD
No se ha encontrado la entidad externa
Declaración de codificación inutilizable
El documento declarado autónomo depende de declaraciones de marcado externas
Bytes que no son un carácter de la codificación""",
     "Código fuente no válido"),
    ("fr", "latin-1",
     ["ERREUR FATALE ", "ERREUR ", "AVERTISSEMENT : "],
     ["dans le document %1 (%2) ", "dans le document public %1 ", "dans le document local %2 "],
     ["à la ligne %1, position %2", "à la ligne %1, entre les positions %2 et %3",
      "entre la ligne %1, position %2 et la ligne %3, position %4"],
     """Nom d'élément non valide
Élément racine en double
Aucun élément racine trouvé
Déclaration de type de document (DTD) en double
Nom d'attribut non valide
Valeur d'attribut non valide
Nom d'attribut en double dans un élément
Nom d'entité non valide
Instruction de traitement non valide
Déclaration XML non valide
Référence de caractère non valide
Guillemets manquants
Signe égal manquant
Signe égal en double
Espace blanc manquant
Balise de fin sans balise de début
Balise de fin manquante
Balise de fin non valide
Caractère non valide
Caractère(s) en dehors de l'élément racine
Déclaration de type de document non valide
Ordre incorrect
Type de déclaration inconnu
Déclaration d'entité non valide
Déclaration d'élément non valide
Déclaration d'attribut non valide
Déclaration de notation non valide
Section conditionnelle non valide
Déclaration de texte non valide
'<' dans le texte de remplacement d'une valeur d'attribut
La valeur d'attribut fait référence à une entité externe
Référence à une entité non analysée
Référence à une entité ne contenant pas de balisage correct
Commentaire non valide
Section CDATA non valide
Littéral système non valide
Littéral d'identifiant public non valide
Nom de déclaration de type de document non valide
Nom qualifié non valide
Préfixe non valide
URI d'espace de noms non valide
URI d'espace de noms introuvable
Imbrication incorrecte des associations de préfixes
Définition d'attribut en double
Déclaration d'entité en double
Déclaration d'entité paramètre en double
Entité inutilisable déclarée
Déclaration d'entité manquante
Déclaration de type d'élément en double
Nom en double dans un contenu mixte
Attribut ID en double déclaré pour le même type d'élément
Nom de notation non déclaré
Attribut de notation en double déclaré pour le même type d'élément
Jeton de notation en double
Attribut de notation déclaré pour un type d'élément vide
Jeton d'énumération en double
Le type et la valeur de l'attribut ne correspondent pas
Jetons en double déclarés
L'attribut ID n'est déclaré ni comme #IMPLIED ni comme #REQUIRED
Le type de l'élément racine ne correspond pas au nom de la déclaration de type de document
Déclaration de type d'élément introuvable
L'élément déclaré EMPTY n'est pas vide
Le contenu d'un élément à contenu mixte ne correspond pas à la déclaration
Le contenu d'un élément à contenu d'éléments ne correspond pas à la déclaration
Le modèle de contenu d'un élément n'est pas déterministe
Déclaration de notation en double
Définition d'attribut introuvable
Attribut obligatoire introuvable
La valeur déclarée et la valeur réelle d'un attribut fixe ne correspondent pas
Le type et la valeur par défaut de l'attribut ne correspondent pas
Valeur ID en double
La valeur IDREF ou IDREFS fait référence à une valeur ID cible inexistante
La valeur ENTITY ou ENTITIES fait référence à une entité non analysée cible inexistante
Déclaration incorrecte d'une entité prédéfinie
Référence d'entité impossible à résoudre
Référence d'entité paramètre impossible à résoudre
Sous-ensemble externe de la DTD introuvable
Entité externe introuvable
Déclaration d'encodage inutilisable
Le document déclaré autonome dépend de déclarations de balisage externes
Octets qui ne sont pas un caractère de l'encodage""",
     "Code source non valide"),
    ("it", "latin-1",
     ["ERRORE FATALE ", "ERRORE ", "AVVISO: "],
     ["nel documento %1 (%2) ", "nel documento pubblico %1 ", "nel documento locale %2 "],
     ["alla riga %1, posizione %2", "alla riga %1, tra le posizioni %2 e %3",
      "tra la riga %1, posizione %2 e la riga %3, posizione %4"],
     """Nome di elemento non valido
Elemento radice doppio
Nessun elemento radice trovato
Dichiarazione del tipo di documento (DTD) doppia
Nome di attributo non valido
Valore di attributo non valido
Nome di attributo doppio in un elemento
Nome di entità non valido
Istruzione di elaborazione non valida
Dichiarazione XML non valida
Riferimento a carattere non valido
Virgolette mancanti
Segno di uguale mancante
Segno di uguale doppio
Spazio bianco mancante
Tag di chiusura senza tag di apertura
Tag di chiusura mancante
Tag di chiusura non valido
Carattere non valido
Carattere/i al di fuori dell'elemento radice
Dichiarazione del tipo di documento non valida
Ordine errato
Tipo di dichiarazione sconosciuto
Dichiarazione di entità non valida
Dichiarazione di elemento non valida
Dichiarazione di attributo non valida
Dichiarazione di notazione non valida
Sezione condizionale non valida
Dichiarazione di testo non valida
'<' nel testo di sostituzione di un valore di attributo
Il valore di attributo fa riferimento a un'entità esterna
Riferimento a un'entità non analizzata
Riferimento a un'entità che non contiene markup corretto
Commento non valido
Sezione CDATA non valida
Letterale di sistema non valido
Letterale di identificatore pubblico non valido
Nome della dichiarazione del tipo di documento non valido
Nome qualificato non valido
Prefisso non valido
URI di spazio dei nomi non valido
URI di spazio dei nomi non trovato
Annidamento errato delle associazioni di prefissi
Definizione di attributo doppia
Dichiarazione di entità doppia
Dichiarazione di entità parametro doppia
Dichiarata entità inutilizzabile
Dichiarazione di entità mancante
Dichiarazione del tipo di elemento doppia
Nome duplicato nel contenuto misto
Attributo ID duplicato dichiarato sullo stesso tipo di elemento
Nome di notazione non dichiarato
Attributo di notazione duplicato dichiarato sullo stesso tipo di elemento
Token di notazione duplicato
Attributo di notazione dichiarato su un tipo di elemento vuoto
Token di enumerazione duplicato
Il tipo e il valore dell'attributo non corrispondono
Token duplicati dichiarati
L'attributo ID non è dichiarato né come #IMPLIED né come #REQUIRED
Il tipo dell'elemento radice non corrisponde al nome della dichiarazione del tipo di documento
Dichiarazione del tipo di elemento non trovata
L'elemento dichiarato EMPTY non è vuoto
Il contenuto di un elemento con contenuto misto non corrisponde alla dichiarazione
Il contenuto di un elemento con contenuto di elementi non corrisponde alla dichiarazione
Il modello di contenuto di un elemento non è deterministico
Dichiarazione di notazione duplicata
Definizione di attributo non trovata
Attributo obbligatorio non trovato
Il valore dichiarato e il valore effettivo di un attributo fisso non corrispondono
Il tipo e il valore predefinito dell'attributo non corrispondono
Valore ID duplicato
Il valore IDREF o IDREFS fa riferimento a un valore ID di destinazione inesistente
Il valore ENTITY o ENTITIES fa riferimento a un'entità non analizzata di destinazione inesistente
Dichiarazione errata di un'entità predefinita
Riferimento a entità non risolvibile
Riferimento a entità parametro non risolvibile
Sottoinsieme esterno della DTD non trovato
Entità esterna non trovata
Dichiarazione di codifica inutilizzabile
Il documento dichiarato autonomo dipende da dichiarazioni di markup esterne
Byte che non sono un carattere della codifica""",
     "Codice sorgente non valido"),
    ("nl", "latin-1",
     ["FATALE FOUT ", "FOUT ", "WAARSCHUWING: "],
     ["in document %1 (%2) ", "in openbaar document %1 ", "in lokaal document %2 "],
     ["in regel %1, positie %2", "in regel %1, tussen positie %2 en %3",
      "tussen regel %1, positie %2 en regel %3, positie %4"],
     """Ongeldige elementnaam
Dubbel hoofdelement
Geen hoofdelement gevonden
Dubbele documenttypedeclaratie (DTD)
Ongeldige attribuutnaam
Ongeldige attribuutwaarde
Dubbele attribuutnaam in één element
Ongeldige entiteitsnaam
Ongeldige verwerkingsinstructie
Ongeldige XML-declaratie
Ongeldige tekenverwijzing
Ontbrekende aanhalingstekens
Ontbrekend gelijkteken
Dubbel gelijkteken
Ontbrekende witruimte
Eindtag zonder begintag
Ontbrekende eindtag
Ongeldige eindtag
Ongeldig teken
Teken(s) buiten het hoofdelement
Ongeldige documenttypedeclaratie
Verkeerde volgorde
Onbekend declaratietype
Ongeldige entiteitsdeclaratie
Ongeldige elementdeclaratie
Ongeldige attribuutdeclaratie
Ongeldige notatiedeclaratie
Ongeldige voorwaardelijke sectie
Ongeldige tekstdeclaratie
'<' in de vervangende tekst van een attribuutwaarde
Attribuutwaarde verwijst naar externe entiteit
Verwijzing naar een niet-geparste entiteit
Verwijzing naar een entiteit zonder correcte markup
Ongeldig commentaar
Ongeldige CDATA-sectie
Ongeldige systeemliteral
Ongeldige pubid-literal
Ongeldige naam van de documenttypedeclaratie
Ongeldige gekwalificeerde naam
Ongeldig voorvoegsel
Ongeldige naamruimte-URI
Naamruimte-URI niet gevonden
Verkeerde nesting van voorvoegseltoewijzingen
Dubbele attribuutdefinitie
Dubbele entiteitsdeclaratie
Dubbele parameterentiteitsdeclaratie
Onbruikbare entiteit gedeclareerd
Ontbrekende entiteitsdeclaratie
Dubbele elementtypedeclaratie
Dubbele naam in gemengde inhoud
Dubbel ID-attribuut gedeclareerd voor hetzelfde elementtype
Niet-gedeclareerde notatienaam
Dubbel notatieattribuut gedeclareerd voor hetzelfde elementtype
Dubbel notatietoken
Notatieattribuut gedeclareerd voor een leeg elementtype
Dubbel opsommingstoken
Attribuuttype en attribuutwaarde komen niet overeen
Dubbele tokens gedeclareerd
ID-attribuut is noch als #IMPLIED noch als #REQUIRED gedeclareerd
Type van het hoofdelement komt niet overeen met de naam van de documenttypedeclaratie
Elementtypedeclaratie niet gevonden
Als EMPTY gedeclareerd element is niet leeg
Inhoud van een element met gemengde inhoud komt niet overeen met de declaratie
Inhoud van een element met elementinhoud komt niet overeen met de declaratie
Inhoudsmodel van een element is niet deterministisch
Dubbele notatiedeclaratie
Attribuutdefinitie niet gevonden
Vereist attribuut niet gevonden
Gedeclareerde en werkelijke waarde van een vast attribuut komen niet overeen
Attribuuttype en standaardwaarde van het attribuut komen niet overeen
Dubbele ID-waarde
IDREF- of IDREFS-waarde verwijst naar een niet-bestaande doel-ID-waarde
ENTITY- of ENTITIES-waarde verwijst naar een niet-bestaande niet-geparste doelentiteit
Verkeerde declaratie van een voorgedefinieerde entiteit
Onoplosbare entiteitsverwijzing
Onoplosbare parameterentiteitsverwijzing
Externe subset van de DTD niet gevonden
Externe entiteit niet gevonden
Onbruikbare coderingsdeclaratie
Als zelfstandig gedeclareerd document hangt af van externe markupdeclaraties
Bytes die geen teken van de codering zijn""",
     "Ongeldige broncode"),
    ("pl", "cp1250",
     ["BŁĄD KRYTYCZNY ", "BŁĄD ", "OSTRZEŻENIE: "],
     ["w dokumencie %1 (%2) ", "w dokumencie publicznym %1 ", "w dokumencie lokalnym %2 "],
     ["w wierszu %1, pozycja %2", "w wierszu %1, między pozycjami %2 i %3",
      "między wierszem %1, pozycja %2 a wierszem %3, pozycja %4"],
     """Nieprawidłowa nazwa elementu
Podwójny element główny
Nie znaleziono elementu głównego
Podwójna deklaracja typu dokumentu (DTD)
Nieprawidłowa nazwa atrybutu
Nieprawidłowa wartość atrybutu
Podwójna nazwa atrybutu w jednym elemencie
Nieprawidłowa nazwa encji
Nieprawidłowa instrukcja przetwarzania
Nieprawidłowa deklaracja XML
Nieprawidłowe odwołanie znakowe
Brak cudzysłowów
Brak znaku równości
Podwójny znak równości
Brak białego znaku
Znacznik końcowy bez znacznika początkowego
Brak znacznika końcowego
Nieprawidłowy znacznik końcowy
Nieprawidłowy znak
Znak(i) poza elementem głównym
Nieprawidłowa deklaracja typu dokumentu
Nieprawidłowa kolejność
Nieznany typ deklaracji
Nieprawidłowa deklaracja encji
Nieprawidłowa deklaracja elementu
Nieprawidłowa deklaracja atrybutu
Nieprawidłowa deklaracja notacji
Nieprawidłowa sekcja warunkowa
Nieprawidłowa deklaracja tekstu
'<' w tekście zastępczym wartości atrybutu
Wartość atrybutu odwołuje się do encji zewnętrznej
Odwołanie do encji nieanalizowanej
Odwołanie do encji niezawierającej poprawnych znaczników
Nieprawidłowy komentarz
Nieprawidłowa sekcja CDATA
Nieprawidłowy literał systemowy
Nieprawidłowy literał identyfikatora publicznego
Nieprawidłowa nazwa deklaracji typu dokumentu
Nieprawidłowa nazwa kwalifikowana
Nieprawidłowy prefiks
Nieprawidłowy URI przestrzeni nazw
Nie znaleziono URI przestrzeni nazw
Nieprawidłowe zagnieżdżenie przypisań prefiksów
Podwójna definicja atrybutu
Podwójna deklaracja encji
Podwójna deklaracja encji parametrycznej
Zadeklarowano nieużyteczną encję
Brak deklaracji encji
Podwójna deklaracja typu elementu
Powtórzona nazwa w treści mieszanej
Zadeklarowano powtórzony atrybut ID dla tego samego typu elementu
Niezadeklarowana nazwa notacji
Zadeklarowano powtórzony atrybut notacji dla tego samego typu elementu
Powtórzony token notacji
Zadeklarowano atrybut notacji dla pustego typu elementu
Powtórzony token wyliczenia
Typ atrybutu i wartość atrybutu nie są zgodne
Zadeklarowano powtórzone tokeny
Atrybut ID nie jest zadeklarowany ani jako #IMPLIED, ani jako #REQUIRED
Typ elementu głównego nie odpowiada nazwie deklaracji typu dokumentu
Nie znaleziono deklaracji typu elementu
Element zadeklarowany jako EMPTY nie jest pusty
Treść elementu o treści mieszanej nie odpowiada deklaracji
Treść elementu o treści elementowej nie odpowiada deklaracji
Model treści elementu nie jest deterministyczny
Powtórzona deklaracja notacji
Nie znaleziono definicji atrybutu
Nie znaleziono wymaganego atrybutu
Zadeklarowana i rzeczywista wartość atrybutu stałego nie są zgodne
Typ atrybutu i wartość domyślna atrybutu nie są zgodne
Powtórzona wartość ID
Wartość IDREF lub IDREFS odwołuje się do nieistniejącej docelowej wartości ID
Wartość ENTITY lub ENTITIES odwołuje się do nieistniejącej docelowej encji nieanalizowanej
Nieprawidłowa deklaracja encji predefiniowanej
Nierozwiązywalne odwołanie do encji
Nierozwiązywalne odwołanie do encji parametrycznej
Nie znaleziono zewnętrznego podzbioru DTD
Nie znaleziono encji zewnętrznej
Nieużyteczna deklaracja kodowania
Dokument zadeklarowany jako samodzielny zależy od zewnętrznych deklaracji znaczników
Bajty, które nie są znakiem kodowania""",
     "Nieprawidłowy kod źródłowy"),
    ("pt", "latin-1",
     ["ERRO FATAL ", "ERRO ", "AVISO: "],
     ["no documento %1 (%2) ", "no documento público %1 ", "no documento local %2 "],
     ["na linha %1, posição %2", "na linha %1, entre as posições %2 e %3",
      "entre a linha %1, posição %2 e a linha %3, posição %4"],
     """Nome de elemento inválido
Elemento raiz duplicado
Nenhum elemento raiz encontrado
Declaração de tipo de documento (DTD) duplicada
Nome de atributo inválido
Valor de atributo inválido
Nome de atributo duplicado em um elemento
Nome de entidade inválido
Instrução de processamento inválida
Declaração XML inválida
Referência de caractere inválida
Faltam as aspas
Falta o sinal de igual
Sinal de igual duplicado
Falta o espaço em branco
Tag final sem tag inicial
Falta a tag final
Tag final inválida
Caractere inválido
Caractere(s) fora do elemento raiz
Declaração de tipo de documento inválida
Ordem errada
Tipo de declaração desconhecido
Declaração de entidade inválida
Declaração de elemento inválida
Declaração de atributo inválida
Declaração de notação inválida
Seção condicional inválida
Declaração de texto inválida
'<' no texto de substituição de um valor de atributo
O valor de atributo faz referência a uma entidade externa
Referência a uma entidade não analisada
Referência a uma entidade sem marcação correta
Comentário inválido
Seção CDATA inválida
Literal de sistema inválido
Literal de identificador público inválido
Nome da declaração de tipo de documento inválido
Nome qualificado inválido
Prefixo inválido
URI de espaço de nomes inválido
URI de espaço de nomes não encontrado
Aninhamento errado dos mapeamentos de prefixos
Definição de atributo duplicada
Declaração de entidade duplicada
Declaração de entidade de parâmetro duplicada
Entidade inutilizável declarada
Falta a declaração de entidade
Declaração de tipo de elemento duplicada
Nome duplicado em conteúdo misto
Atributo ID duplicado declarado no mesmo tipo de elemento
Nome de notação não declarado
Atributo de notação duplicado declarado no mesmo tipo de elemento
Token de notação duplicado
Atributo de notação declarado em um tipo de elemento vazio
Token de enumeração duplicado
O tipo e o valor do atributo não correspondem
Tokens duplicados declarados
O atributo ID não está declarado nem como #IMPLIED nem como #REQUIRED
O tipo do elemento raiz não corresponde ao nome da declaração de tipo de documento
Declaração de tipo de elemento não encontrada
O elemento declarado EMPTY não está vazio
O conteúdo de um elemento com conteúdo misto não corresponde à declaração
O conteúdo de um elemento com conteúdo de elementos não corresponde à declaração
O modelo de conteúdo de um elemento não é determinístico
Declaração de notação duplicada
Definição de atributo não encontrada
Atributo obrigatório não encontrado
O valor declarado e o valor real de um atributo fixo não correspondem
O tipo e o valor padrão do atributo não correspondem
Valor ID duplicado
O valor IDREF ou IDREFS faz referência a um valor ID de destino inexistente
O valor ENTITY ou ENTITIES faz referência a uma entidade não analisada de destino inexistente
Declaração errada de uma entidade predefinida
Referência de entidade não resolvível
Referência de entidade de parâmetro não resolvível
Subconjunto externo da DTD não encontrado
Entidade externa não encontrada
Declaração de codificação inutilizável
O documento declarado autónomo depende de declarações de marcação externas
Bytes que não são um carácter da codificação""",
     "Código-fonte inválido"),
]

HEX = set("0123456789abcdefABCDEF")


def literal(text, encoding):
    """A C++ string literal of text in the given single-byte encoding."""
    out = []
    after_escape = False
    for byte in text.encode(encoding):
        ch = chr(byte)
        if byte >= 0x80:
            out.append("\\x%02X" % byte)
            after_escape = True
            continue
        if after_escape and ch in HEX:
            out.append('" "')
        after_escape = False
        out.append({'"': '\\"', "\\": "\\\\"}.get(ch, ch))
    return '"' + "".join(out) + '"'


def main():
    lines = [
        "// Generated by scripts/generate_error_messages.py; edit the script, not this file.",
        "// Polish texts are Windows-1250 bytes, all others Latin-1 bytes.",
        "// clang-format off",
        "",
        '#include "text/error_messages.h"',
        "",
        "namespace {",
        "",
    ]
    for code, encoding, severity, documents, positions, messages, fallback in LANGUAGES:
        rows = messages.split("\n")
        assert len(rows) == len(CLASSES), (code, len(rows))
        lines.append("const TXmlMessageTable k_%s = {" % code)
        lines.append("    %s," % ("true" if encoding == "cp1250" else "false"))
        for group in (severity, documents, positions):
            lines.append("    {" + ", ".join(literal(t, encoding) for t in group) + "},")
        lines.append("    {")
        for row in rows:
            lines.append("        %s," % literal(row, encoding))
        lines.append("    },")
        lines.append("    %s," % literal(fallback, encoding))
        lines.append("};")
        lines.append("")
    lines.append("} // namespace")
    lines.append("")
    lines.append("const std::array<const char*, kMessageClassCount> kMessageClasses = {")
    for name in CLASSES:
        lines.append('    "%s",' % name)
    lines.append("};")
    lines.append("")
    lines.append("const TXmlMessageTable& messageTable(TXmlMessageLanguage language) {")
    lines.append("    switch (language) {")
    for code, *_ in LANGUAGES:
        lines.append("    case TXmlMessageLanguage::%s:" % code)
        lines.append("        return k_%s;" % code)
    lines.append("    }")
    lines.append("    return k_en;")
    lines.append("}")
    lines.append("// clang-format on")
    print("\n".join(lines))


if __name__ == "__main__":
    main()

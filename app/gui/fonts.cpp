#include "app/gui/fonts.h"

#include <QStringList>

QFont mapFont(EFontFace face, int pixelSize) {
    QStringList families;
    switch (face) {
    case EFontFace::pGothic:
        families = {"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic"};
        break;
    case EFontFace::gothic:
        families = {"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic"};
        break;
    case EFontFace::mincho:
        families = {"ＭＳ 明朝", "MS Mincho", "IPAMincho", "Noto Serif CJK JP"};
        break;
    case EFontFace::timesNewRoman:
        families = {"Times New Roman", "Liberation Serif", "DejaVu Serif", "IPAPMincho"};
        break;
    }
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

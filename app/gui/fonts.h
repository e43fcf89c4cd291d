#pragma once

#include <QFont>

// The faces the editor asks for, each with the faces a Linux system has in its place
// (the IPA fonts for the Japanese ones).
enum class EFontFace { pGothic, gothic, mincho, timesNewRoman };

// A font of the face at the given pixel size, with its fallbacks.
QFont mapFont(EFontFace face, int pixelSize);

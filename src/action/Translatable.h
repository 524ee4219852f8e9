#pragma once

// Marks a text shown to a person where it is written, in code that cannot call Qt's translation
// functions; it is translated where it is shown, in the context named here. lupdate finds the
// marks with -tr-function-alias QT_TRANSLATE_NOOP+=GLOWDECK_TR_NOOP.
#define GLOWDECK_TR_NOOP(context, text) text

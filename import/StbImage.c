// The picture decoder compiled into the sanitizer and fuzz builds, in place of the
// system's uninstrumented library, so that a read past a buffer inside it is reported.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

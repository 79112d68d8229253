// Settings file text: any text is taken without harm, and what the settings write back reads
// back to the same text.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    App& app = Fuzz::app();
    app.applySettingsText(std::string(reinterpret_cast<const char*>(data), size));
    const std::string first = app.settingsText();
    app.applySettingsText(first);
    if (app.settingsText() != first) abort();
    return 0;
}

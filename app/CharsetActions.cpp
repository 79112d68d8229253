#include "app/CharsetActions.h"

#include "app/App.h"
#include "core/CharEdit.h"

namespace CharsetActions {

void clickChar(App& app, int code) {
    if (app.showCharEditor)
        app.charEditorChar = code & 0xFF;
    else if (app.editor.tool == Editor::ToolText)
        CharEdit::typeFromCharset(app.editor, u8(code));
}

void pickColour(App& app, int picked, bool right) {
    Machine& m = app.machine;
    const bool multi = (m.vic[VicReg::Control2] & VicReg::Control2Mcm) != 0;
    picked &= 15;
    if (right)
        BankSelect::setRegister(app.editor, VicReg::Background0, picked, "background color");
    else if (multi && app.charPen == 2)
        BankSelect::setRegister(app.editor, VicReg::Background2, picked, "char color");
    else if (multi && app.charPen == 1)
        BankSelect::setRegister(app.editor, VicReg::Background1, picked, "char color");
    else if (multi && picked >= 8)
        // Colour RAM gives a multicolour character only three bits of colour.
        app.message("Information", "Foreground color can only be 0-7 in multicolor, sorry!");
    else
        m.pen = multi ? CharEdit::multiPen(m, picked) : picked;
}

}  // namespace CharsetActions

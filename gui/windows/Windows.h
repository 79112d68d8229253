#pragma once
// The windows: free functions that the frame loop calls once per frame.

struct App;

void drawMainMenu(App& app);
void drawToolbar(App& app);
void drawStatusBar(App& app);
void drawTools(App& app);
void drawScreenEditor(App& app);
void drawSecondView(App& app);
void drawSpriteView(App& app);
void drawSpriteEditor(App& app);
void drawRegisterView(App& app);
void drawBitmapMemView(App& app);
void drawSaveSpritesDialog(App& app);
void drawMountDisk(App& app);
void drawMonitor(App& app);
void drawProcessor(App& app);
void drawAssembler(App& app);
void drawImportPicture(App& app);
void drawImportCharset(App& app);
void drawCharsetView(App& app);
void drawCharEditor(App& app);
void drawCalcConverter(App& app);
void drawPreferences(App& app);
void drawAbout(App& app);
void drawHelp(App& app);
void drawCharsetConverter(App& app);

// The built-in file dialog, over everything else while a request is open.
namespace FileIO {
struct Dialog;
void draw(Dialog& d);
}

// The menus "Select VIC bank" and "Charset", inside an open menu.
void bankMenus(App& app);

#pragma once
#include <string>

#include "platform/FileIO.h"

struct App;

// The user's file commands: each opens the file dialog and does its work when
// the user accepts; also dropped files and the two exports.
namespace Actions {

void loadProject(App& app);
void saveProject(App& app);
void loadMemory(App& app);
void saveArea(App& app, int start, int len, const std::string& defaultName);
void loadKoala(App& app);
void saveKoala(App& app);
void saveDoodle(App& app);
void loadRaw(App& app);
void loadImageFormat(App& app, int fmt);
void saveSprites(App& app, int first, int last, bool prg);
void loadSprites(App& app);
void loadCharset(App& app);
void saveCharset(App& app, bool prg);

void openDropped(App& app, const std::string& path);

void exportPng(App& app);
void saveExecutable(App& app);
// The PNG writer's output: appends size bytes at data to the byte vector at context.
void pngWrite(void* context, void* data, int size);

}  // namespace Actions

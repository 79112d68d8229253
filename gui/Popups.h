#pragma once
struct App;

// Shows the front popup of the App's queue and answers it.
void drawPopups(App& app);

#pragma once
#include <initializer_list>
#include <vector>

#include "core/ChangeWatch.h"
#include "core/Machine.h"
#include "gui/Texture.h"

struct Palette;

// A window's picture: the pixels the core draws, the inputs they were drawn
// from and the texture they go to. It is drawn again only when one of those
// inputs changed or the texture is gone, so an idle window costs no drawing.
struct Canvas {
    std::vector<unsigned int> pixels;
    int w = 0, h = 0;
    Texture tex;
    ChangeWatch watch;

    // When the watched parts changed since the last call, or the texture is
    // not live: makes the canvas w x h, lets draw(pixels) fill it and uploads
    // it. The parts are compared on every call. True when it drew.
    template <class Draw>
    bool redraw(int width, int height, std::initializer_list<ChangeWatch::Part> watched, Draw&& draw) {
        const bool changed = watch.changed(watched);
        if (!changed && tex.live()) return false;
        resize(width, height);
        draw(pixels.data());
        upload();
        return true;
    }

    // A picture of the machine: redraw watching its memory, character ROM,
    // registers and bank, and one input of the window's own (its colours).
    template <class Draw>
    bool redrawMachine(const Machine& m, ChangeWatch::Part own, int width, int height, Draw&& draw) {
        return redraw(width, height,
                      {{m.ram, sizeof m.ram},
                       {m.charRom, sizeof m.charRom},
                       {m.vic, sizeof m.vic},
                       {&m.bank, sizeof m.bank},
                       own},
                      draw);
    }

    // Makes the canvas w x h; refilled with opaque black only when the size changes.
    void resize(int width, int height);
    void upload() { tex.update(pixels.data(), w, h); }

    // The machine's whole frame, border included, in the palette's colours:
    // drawn again when its memory, registers, bank or the palette changed.
    bool redrawFrame(const Machine& m, const Palette& palette);
};

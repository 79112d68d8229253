// Writes the first corpus of every fuzz target, made with the editor's own writers.
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/App.h"
#include "app/FileActions.h"
#include "formats/FileFormats.h"
#include "platform/Platform.h"
#include "tests/SavedLayout.h"

namespace fs = std::filesystem;

namespace {

void put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path out = argv[1];
    setenv("APPDATA", (out / "config").c_str(), 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    Platform::initWithBasePath("");
    App app;
    Machine& m = app.machine;
    for (int i = 0; i < 0x400; ++i) m.ram[0x2000 + i * 8] = u8(i * 37);

    const Bytes koala = FileFormats::saveKoala(m);
    const Bytes pattern(koala.begin() + 2, koala.begin() + 200);
    for (int f = 0; f < FileFormats::count(); ++f)
        for (int edge = 0; edge < 4; ++edge)
            put(out / "picture", "f" + std::to_string(f) + "e" + std::to_string(edge),
                cat({u8(f), u8(4 + edge), 4, u8(f & 3), 0x18}, pattern));
    put(out / "picture", "koala", cat({0, 255, 4, 0, 0x18}, koala));

    put(out / "prg", "basic", FileFormats::savePrg(m, 0x0801, 32));
    put(out / "prg", "top", FileFormats::savePrg(m, 0xFFF0, 16));
    put(out / "prg", "empty", {0x00, 0xC0});

    put(out / "project", "whole", {8, 0, 'V', 'O'});
    put(out / "project", "version", {8, 14, 1, 0, 0, 0, 1, 0, 0, 0});
    put(out / "project", "short", {130, 0});
    put(out / "project", "tail", {8, 255, 0x3B, 0x11, 0x7F});

    app.showMonitor = true;
    app.uiScale = 1.5f;
    put(out / "settings", "saved", text(app.settingsText()));
    put(out / "settings", "odd", text("Zoom=99\nPalette=-3\nCustom_15_G=300\nUiScale=nan\nCustom_7=1\n"));

    put(out / "assembler", "default", text(app.asmSource));
    put(out / "assembler", "data",
        text("*=$1000\nv = 3\nl LDA #<msg\n STA (v),Y\n JMP (l)\n.BYTE <msg, >msg+1\n.WORD *, l-1\n"
             "msg .TEXT \"Hi\"\n BNE l\n"));

    put(out / "dropped", "koala", cat({0}, koala));
    put(out / "dropped", "prg", cat({26}, FileFormats::savePrg(m, 0x0400, 40)));
    put(out / "dropped", "source", cat({28}, text(app.asmSource)));
    put(out / "dropped", "unknown", {35, 1, 2, 3, 4});
    put(out / "dropped", "project", cat({27}, m.saveProject()));

    put(out / "d64", "bam", {0, 0, 0, 18, 1, 0x41, 0x00});
    put(out / "d64", "directory", {0, 1, 0, 18, 4, 0x82, 17, 0});
    put(out / "d64", "chain", {0, 4, 0, 17, 0});
    put(out / "d64", "errors", {1, 7, 9, 1, 1, 1});

    put(out / "monitor", "memory", text(".:C000 01 02 03\n.M C000 C040\n.F C000 C0FF 55\n.C 0000 0100 FFF0\n"));
    put(out / "monitor", "code", text(".A C000 LDA #$07\n.D C000 C020\n.>C000 A9 07 ADC #1\n., C000 HELLO\n.G C000\n"));
    put(out / "monitor", "disk", text(".S\"PROG\",8,C000,C100\n.L\"PROG\",8\n.L\"X\",6,2000\n.S\"H\",10,1000,1010\n.L\"PROG\",8,FFFF\n"));

    // Layouts as the program writes them, every window open: the default one, and one with a floating pair.
    const Bytes allOpen{0xFF, 0xFF, 0x07};
    const std::string windows =
        "[Window][Screen]\nPos=61,59\nSize=935,822\nCollapsed=0\nDockId=0x00000001,0\n\n"
        "[Window][Registers]\nPos=998,59\nSize=402,410\nCollapsed=0\nDockId=0x00000003,1\n\n"
        "[Window][###Second view]\nPos=998,59\nSize=402,410\nCollapsed=0\nDockId=0x00000003,0\n\n"
        "[Window][Sprites]\nPos=998,471\nSize=402,410\nCollapsed=0\nDockId=0x00000004,0\n\n"
        "[Window][Debug##Default]\nPos=60,60\nSize=400,400\nCollapsed=0\n\n";
    const std::string& nodes = kSavedDocking;
    put(out / "layout", "default", cat(allOpen, text(windows + nodes)));
    put(out / "layout", "floating",
        cat(allOpen, text(windows +
                          "[Window][Calc converter]\nPos=300,200\nSize=330,330\nCollapsed=0\nDockId=0x00000010,0\n\n"
                          "[Window][Monitor]\nPos=300,200\nSize=330,330\nCollapsed=0\nDockId=0x00000011,1\n\n" +
                          nodes +
                          "DockNode      ID=0x0000000F Pos=300,200 Size=330,330 Split=X\n"
                          "  DockNode    ID=0x00000010 Parent=0x0000000F SizeRef=160,330\n"
                          "  DockNode    ID=0x00000011 Parent=0x0000000F SizeRef=170,330\n")));

    // Small pictures in the formats the import reads, drawn from the C64 palette.
    for (auto [w, h] : {std::pair{8, 8}, {40, 25}, {3, 70}}) {
        std::vector<u32> pixels(size_t(w) * h);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = app.palette.pixel(int(i * 7 % 16));
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        Bytes png, bmp, tga, jpg;
        stbi_write_png_to_func(Actions::pngWrite, &png, w, h, 4, pixels.data(), w * 4);
        stbi_write_bmp_to_func(Actions::pngWrite, &bmp, w, h, 4, pixels.data());
        stbi_write_tga_to_func(Actions::pngWrite, &tga, w, h, 4, pixels.data());
        stbi_write_jpg_to_func(Actions::pngWrite, &jpg, w, h, 4, pixels.data(), 90);
        put(out / "import", size + ".png", png);
        put(out / "import", size + ".bmp", bmp);
        put(out / "import", size + ".tga", tga);
        put(out / "import", size + ".jpg", jpg);
    }
    // Every layout each of the six kinds has, so that each of the decoder's paths is reached: written by
    // ImageMagick from the 40x25 picture (left out where it is not installed).
    const fs::path from = out / "import" / "40x25.png";
    const std::pair<const char*, const char*> kinds[] = {
        {"-depth 16 png64:", "deep.png"}, {"-type Palette png8:", "palette.png"},
        {"-colorspace Gray -depth 4 png:", "grey4.png"}, {"-interlace PNG png:", "interlaced.png"},
        {"-type GrayscaleAlpha png:", "greyalpha.png"}, {"-depth 16 -type Grayscale png:", "grey16.png"},
        {"-quality 60 jpg:", "q60.jpg"}, {"-interlace JPEG jpg:", "progressive.jpg"},
        {"-colorspace Gray jpg:", "grey.jpg"}, {"-sampling-factor 2x2 jpg:", "sub.jpg"},
        {"-colorspace CMYK jpg:", "cmyk.jpg"}, {"gif:", "plain.gif"}, {"-interlace GIF gif:", "interlaced.gif"},
        {"-transparent black gif:", "transparent.gif"}, {"\\( +clone -negate \\) -set delay 10 gif:", "animated.gif"},
        {"-type Palette bmp3:", "palette.bmp"}, {"-type Palette -compress RLE bmp3:", "rle8.bmp"},
        {"-monochrome bmp3:", "mono.bmp"}, {"-type TrueColor bmp2:", "os2.bmp"}, {"-colors 16 bmp2:", "os2palette.bmp"},
        {"-type TrueColor bmp3:", "truecolor.bmp"}, {"-transparent black png8:", "trns.png"},
        {"-type TrueColorAlpha bmp:", "v5alpha.bmp"}, {"-define bmp:subtype=RGB565 bmp:", "rgb565.bmp"},
        {"-compress RLE tga:", "rle.tga"}, {"-type Palette tga:", "palette.tga"}, {"-type Grayscale tga:", "grey.tga"},
        {"-type Palette -compress RLE tga:", "palrle.tga"}, {"-compress None psd:", "plain.psd"},
        {"-compress RLE psd:", "rle.psd"}, {"-type Grayscale psd:", "grey.psd"}, {"-depth 16 psd:", "deep.psd"},
        {"-alpha set psd:", "alpha.psd"},
    };
    for (const auto& [args, name] : kinds) {
        const std::string cmd = "/usr/bin/convert '" + from.string() + "' " + args + "'" + (out / "import" / name).string() +
                                "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) std::printf("seed %s not written\n", name);
    }
    // The PNG and JPEG pictures again for the banded reading, behind its three steering bytes; one JPEG
    // also with an Exif block that turns it (orientation 6).
    const Bytes exif{0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                     0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    for (const auto& file : fs::directory_iterator(out / "import")) {
        const std::string ext = file.path().extension().string();
        if (ext != ".png" && ext != ".jpg") continue;
        std::ifstream f(file.path(), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        put(out / "bands", file.path().filename().string(), cat({0x1B, 0, 0x03}, bytes));
        put(out / "bands", "cancel-" + file.path().filename().string(), cat({0x80, 5, 0x85}, bytes));
        if (ext == ".jpg" && bytes.size() > 2) {
            Bytes turned(bytes.begin(), bytes.begin() + 2);
            turned.insert(turned.end(), exif.begin(), exif.end());
            turned.insert(turned.end(), bytes.begin() + 2, bytes.end());
            put(out / "bands", "turned-" + file.path().filename().string(), cat({0x1B, 0, 0x03}, turned));
        }
    }
    return 0;
}

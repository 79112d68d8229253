// The "Import PC image" window: options, both previews, OK and Cancel.
#include <imgui.h>

#include <cstdio>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "app/FileActions.h"
#include "gui/Texture.h"
#include "app/ImportActions.h"

namespace {

void pickPicture(App& app) {
    FileIO::openReading(app.ui.fileDialog, "Import PC image",
                        {{"Images (*.png;*.jpg;*.bmp;*.gif;*.tga)", {"png", "jpg", "jpeg", "bmp", "gif", "tga", "psd"}},
                         FileIO::allFiles},
                        [&app](const std::string& name, std::unique_ptr<Platform::FileReading> file) {
                            openImportPictureFile(app, name, std::move(file));
                        });
}

// A radio button that reports every press, also of the chosen one.
void radio(const char* label, int& value, int mine, bool& dirty) {
    if (ImGui::RadioButton(label, value == mine)) {
        value = mine;
        dirty = true;
    }
}

void options(App& app, ImportPicState& s, float scale) {
    static const char* const sets[] = {"ROM upper case/graphics", "ROM lower case", "Current charset"};
    bool& dirty = s.dirty;
    // The region's height follows its content, as measured in the frame before.
    static float height = 0;
    ImGui::BeginChild("##options", ImVec2(250 * scale, height), false, ImGuiWindowFlags_NoScrollbar);

    ImGui::SeparatorText("Resolution");
    radio("Hires 320x200", s.resolution, 0, dirty);
    radio("Multicolor 160x200", s.resolution, 1, dirty);
    radio("PETSCII text 40x25", s.resolution, 2, dirty);

    if (s.resolution == 2) {
        ImGui::SeparatorText("Characters");
        ImGui::SetNextItemWidth(170);
        int set = s.options.charset >= 0 && s.options.charset <= 2 ? s.options.charset : 0;
        if (ImGui::BeginCombo("##charset", sets[set])) {
            for (int i = 0; i < 3; ++i)
                if (ImGui::Selectable(sets[i], i == set)) {
                    s.options.charset = i;
                    dirty = true;
                }
            ImGui::EndCombo();
        }
        dirty |= ImGui::Checkbox("Reversed characters", &s.options.reversed);
        dirty |= ImGui::Checkbox("No letters or digits", &s.options.noLettersOrDigits);
        ImGui::SetNextItemWidth(120);
        ImGui::SliderInt("Detail", &s.detailPercent, 0, 100, "%d%%", ImGuiSliderFlags_AlwaysClamp);
        if (ImGui::IsItemDeactivatedAfterEdit()) dirty = true;
        if (ImGui::IsItemHovered(ImGuiHoveredFlags_DelayShort))
            ImGui::SetTooltip("Low: match the tone of areas. High: match the pixels exactly.");
    }

    ImGui::SeparatorText("Resize");
    dirty |= ImGui::Checkbox("Keep aspect ratio", &s.keepAspect);
    dirty |= ImGui::Checkbox("Zoom to fit", &s.zoomToFit);

    ImGui::SeparatorText("Colors");
    radio("Mono", s.colors, 0, dirty);
    radio("Grayscale", s.colors, 1, dirty);
    radio("Color", s.colors, 2, dirty);

    if (s.resolution != 2) {
        ImGui::SeparatorText("Dithering");
        radio("None", s.dithering, 0, dirty);
        radio("Floyd-Steinberg", s.dithering, 1, dirty);
        radio("Jarvis", s.dithering, 2, dirty);
        radio("Stucki", s.dithering, 3, dirty);
    }

    ImGui::SeparatorText("Palette");
    ImGui::SetNextItemWidth(170);
    if (ImGui::BeginCombo("##pal", Palette::name(s.palette))) {
        for (int i = 0; i <= 10; ++i)
            if (ImGui::Selectable(Palette::name(i), i == s.palette)) {
                s.palette = i;
                dirty = true;
            }
        ImGui::EndCombo();
    }

    if (s.resolution != 0) {
        char label[32];
        if (s.background < 0) std::snprintf(label, sizeof label, "Automatic");
        else std::snprintf(label, sizeof label, "Color %d", s.background);
        ImGui::SetNextItemWidth(170);
        if (ImGui::BeginCombo("Background", label)) {
            if (ImGui::Selectable("Automatic", s.background < 0)) {
                s.background = -1;
                dirty = true;
            }
            for (int c = 0; c < 16; ++c) {
                std::snprintf(label, sizeof label, "Color %d", c);
                if (ImGui::Selectable(label, s.background == c)) {
                    s.background = c;
                    dirty = true;
                }
            }
            ImGui::EndCombo();
        }
        ImGui::TextUnformatted("Used background:");
        ImGui::SameLine();
        Widgets::ColorSwatch(app, s.resolution == 2 ? s.converter.bg : s.reducer.bg, ImVec2(20, 14));
    }
    height = ImGui::GetCursorPosY();
    ImGui::EndChild();
}

// The previews as last uploaded.
Texture g_sourceTexture, g_resultTexture;

void upload(const ImportPreview& p, Texture& texture) {
    if (!p.pixels.empty()) texture.update(p.pixels.data(), p.w, p.h);
}

}  // namespace

// Each frame's share of a large picture's reading or resampling, so that the whole
// frame, drawing included, stays within one refresh at 60 Hz.
constexpr double kStepMs = 10.0;

void drawImportPicture(App& app) {
    ImportPicState& s = app.ui.importPicture;
    if (s.palette < 0) s.palette = app.palette.index;
    // A large picture is read over many frames, a share of each; its first preview waits for the next.
    const bool reading = importLoading(s);
    if (reading) stepImportLoad(app, s, kStepMs);
    if (!app.showImportPicture) return;
    if (s.pixels.empty() && !s.pickerShown && !importLoading(s)) {
        s.pickerShown = true;
        pickPicture(app);
    }

    const float scale = Classic::Scale();
    // It floats, opens no larger than the main window and may be made smaller than its content, which then scrolls.
    Fit::FirstUse(ImVec2(920 * scale, 560 * scale));
    Fit::LimitFloatingWindow();
    bool open = true;
    bool accept = false, cancel = false;
    if (ImGui::Begin("Import PC image", &open, ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoDocking)) {
        if (ImGui::Button("Open image...")) pickPicture(app);
        ImGui::SameLine();
        // The progress bar shares the line, so nothing below moves while it shows.
        ImGui::TextDisabled("%s", importShownName(s).c_str());
        if (importLoading(s)) {
            ImGui::SameLine();
            ImGui::ProgressBar(float(importLoadProgress(s)), ImVec2(300 * scale, 0));
            ImGui::SameLine();
            if (ImGui::Button("Cancel##reading")) cancelImportLoad(app, s);
        }

        options(app, s, scale);

        // A large resampling goes on over frames with the previews shown as they were.
        if (s.dirty && !reading && stepImportPreview(app, s, kStepMs)) {
            upload(s.sourcePreview, g_sourceTexture);
            upload(s.resultPreview, g_resultTexture);
        }

        ImGui::SameLine();
        ImGui::BeginGroup();
        if (g_sourceTexture.id && !s.sourcePreview.pixels.empty()) {
            ImagePixels(g_sourceTexture, ImVec2(320, 200));
            ImGui::SameLine();
            ImagePixels(g_resultTexture, ImVec2(320, 200));
        } else {
            ImGui::Dummy(ImVec2(648, 200));
        }
        ImGui::Dummy(ImVec2(0, 4));

        ImGui::BeginDisabled(s.pixels.empty() || importLoading(s));
        accept = ImGui::Button("OK", ImVec2(100, 0));
        ImGui::EndDisabled();
        if (s.autoAccept && !s.dirty && !importLoading(s)) {
            s.autoAccept = false;
            accept = true;
        }
        ImGui::SameLine();
        cancel = ImGui::Button("Cancel", ImVec2(100, 0));
        ImGui::EndGroup();
    }
    ImGui::End();

    if (accept) acceptImport(app, s);
    else if (cancel || !open) closeImport(app, s);
}

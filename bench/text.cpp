// The text of one panel, measured and drawn by the game's text engine on
// SDL_ttf and by the FreeType engine it replaced, in the same run: the
// settings panel at 1920 x 1080 in German (title, six rows of label and
// value) and the credits paragraph wrapped in its box. "Cold" starts the
// engine for each panel (fontconfig, faces, empty caches): the start-up cost.
#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

#include "replaced/text_freetype.inc"

namespace {

struct Engine {
    int (*Init)();
    void (*Shutdown)();
    void (*Measure)(const std::string&, double, double*, double*);
    void (*Draw)(int, const std::string&, double, double, double, uint32_t);
    void (*Paragraph)(int, const std::string&, double, double, double, double, double, uint32_t);
};

const Engine Library = {InitFont, FontShutdown, MeasureText, DrawText, DrawParagraph};
const Engine Own = {FreeTypeText::InitFont, FreeTypeText::FontShutdown, FreeTypeText::MeasureText,
                    FreeTypeText::DrawText, FreeTypeText::DrawParagraph};

const std::vector<std::pair<std::string, std::string>> Rows = {
    {"Sprache", "Deutsch"},     {"Musik", "Ein"},   {"Bildschirmmodus", "Fenster"},
    {"Auflösung", "1920x1080"}, {"Übernehmen", ""}, {"Zurück", ""},
};
const std::string Credits = "Ein Spiel von Brindlewood Game Studio\nIdee, Programmierung und Grafik: das ganze "
                            "Team\nMusik und Geräusche: aus dem Studio\nGetestet von vielen geduldigen Spielerinnen "
                            "und Spielern, denen wir herzlich danken\n\nVielen Dank fürs Spielen!";

// Settings panel at 1920 x 1080: 1067 x 640, header 80, fonts 26 and 52,
// slots from 115 every 87 pixels; the credits paragraph at 20 in 960 x 560.
void RenderPanel(const Engine& E, int Image)
{
    FillImageRect(Image, 0, 0, 1067, 640, Rgba(74, 74, 74));
    double W = 0, H = 0;
    E.Measure("EINSTELLUNGEN", 26, &W, &H);
    E.Draw(Image, "EINSTELLUNGEN", 1067 / 2.0 - W / 2.0, 40 - H / 2.0, 26, Rgba(255, 255, 255));
    for (size_t I = 0; I < Rows.size(); ++I) {
        double Y = 115 + 87 * double(I);
        uint32_t Colour = I == 2 ? Rgba(232, 106, 23) : Rgba(255, 255, 255);
        E.Measure(Rows[I].first, 52, &W, &H);
        E.Draw(Image, Rows[I].first, 10, Y, 52, Colour);
        if (!Rows[I].second.empty()) {
            E.Measure(Rows[I].second, 52, &W, &H);
            E.Draw(Image, Rows[I].second, 1067 - W - 10, Y, 52, Colour);
        }
    }
    E.Paragraph(Image, Credits, 0, 86, 960, 560, 20, Rgba(255, 255, 255));
}

void BM_PanelText(benchmark::State& State, const Engine* E, int Cold)
{
    int Image = CreateImage(1067, 640, Rgba(74, 74, 74));
    if (!Cold) {
        E->Init();
        RenderPanel(*E, Image); // the caches warm
    }
    for (auto _ : State) {
        if (Cold)
            E->Init();
        RenderPanel(*E, Image);
        if (Cold)
            E->Shutdown();
        benchmark::DoNotOptimize(ImagePixels(Image));
    }
    if (!Cold)
        E->Shutdown();
    FreeImage(Image);
}

BENCHMARK_CAPTURE(BM_PanelText, sdl_ttf_warm, &Library, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PanelText, own_warm, &Own, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PanelText, sdl_ttf_cold, &Library, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PanelText, own_cold, &Own, 1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// The message panels: level complete, game complete and credits.
#include "screens/screens.h"
#include "screens/screens_local.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "platform/platform.h"

// Name lines and maker credits are fixed texts of the game, not translated.
static const char* const CreditsCodeName = "The Kistora team at brindlewood game studio";
static const char* const CreditsMakerLines[4] = {
    "A brindlewood game studio production",
    "Built with SDL2, FreeType, fontconfig,",
    "libpng, libvorbis and libarchive",
    "Thank you for playing!",
};
static const char* const CreditsMusicName = "brindlewood sound workshop";
static const char* const CreditsGfxName = "brindlewood drawing office";
static const char* const CreditsCrateName = "The crate carpenters of brindlewood";

static void OkButton(int Panel, int Image)
{
    PanelItem(Panel, Image, Text("tSettingsOK"), PlaceCentre, PanelRowTop(Panel, 6), ColourAccent);
}

void RenderLevelComplete(int Selection)
{
    const int Panel = PanelLevelComplete;
    std::string Number = std::to_string(SelectedLevelIndex + 1);
    int Image = BeginPanel(Panel, ReplaceAll(Text("tCompleteTITLE"), "###", Number));
    if (!Image)
        return;
    int64_t TimeMs = 0;
    if (Play.LastPlayedIndex >= 0 && Play.LastPlayedIndex < int(ProgressList.size()))
        TimeMs = ProgressList[Play.LastPlayedIndex].TimeMs;
    double Y1 = PanelRowTop(Panel, 1), Y2 = PanelRowTop(Panel, 2), Y6 = PanelRowTop(Panel, 6);
    PanelItem(Panel, Image, Text("tCompleteTIME"), PlaceLeft, Y1, ColourWhite);
    PanelItem(Panel, Image, FormatPlayTime(TimeMs), PlaceRight, Y1, ColourWhite);
    PanelItem(Panel, Image, Text("tCompleteSTEPS"), PlaceLeft, Y2, ColourWhite);
    PanelItem(Panel, Image, std::to_string(Play.StepCount), PlaceRight, Y2, ColourWhite);
    PanelItem(Panel, Image, Text("tCompleteRETRY"), PlaceLeft, Y6, ItemColour(1, Selection));
    PanelItem(Panel, Image, Text("tCompleteMENU"), PlaceCentre, Y6, ItemColour(2, Selection));
    PanelItem(Panel, Image, Text("tCompleteNEXT"), PlaceRight, Y6, ItemColour(3, Selection));
    FinishPanel(Panel, Image);
}

void RenderGameComplete()
{
    const int Panel = PanelGameComplete;
    const PanelLayout& P = Panels[Panel];
    int Image = BeginPanel(Panel, "KISTORA");
    if (!Image)
        return;
    std::string Message = Text("tGcCONGRATULATIONS") + "\n\n" + Text("tGcGAMECOMPLETE");
    DrawParagraph(Image, Message, 0, P.Header + P.Gap, P.Width, P.Height - P.Header, P.ItemFont, ColourWhite);
    OkButton(Panel, Image);
    FinishPanel(Panel, Image);
}

void RenderCredits()
{
    const int Panel = PanelCredits;
    const PanelLayout& P = Panels[Panel];
    int Image = BeginPanel(Panel, Text("tCreditsTITLE"));
    if (!Image)
        return;
    // Seventeen lines: the version, then each role heading followed by its name line.
    const std::string Paragraph[] = {
        "Kistora 1.0",
        Text("tCreditsCODEDESIGN"),
        CreditsCodeName,
        "",
        CreditsMakerLines[0],
        CreditsMakerLines[1],
        CreditsMakerLines[2],
        CreditsMakerLines[3],
        "",
        Text("tCreditsMUSIC"),
        CreditsMusicName,
        "",
        Text("tCreditsGFX"),
        CreditsGfxName,
        "",
        Text("tCreditsCRATE"),
        CreditsCrateName,
    };
    std::string Lines;
    for (const std::string& Line : Paragraph) {
        if (&Line != &Paragraph[0])
            Lines += '\n';
        Lines += Line;
    }
    DrawParagraph(Image, Lines, 0, P.Header + P.Gap, P.Width, P.Height - P.Header, CreditsParagraphFont, ColourWhite);
    OkButton(Panel, Image);
    FinishPanel(Panel, Image);
}

// The text keys the game reads, shared by the language-file tests.
#pragma once

// The header group of every language file.
inline const char* const LanguageHeaderKeys[] = {"tLangFileNAME",   "tLangFileVERSION", "tLangFileDATE",
                                                 "tLangFileAUTHOR", "tLangFileLANGID",  "tLangFileSOFTWARE"};

// Every key the game reads from the text table (besides the level titles).
inline const char* const GameTextKeys[] = {
    "tStartHEADER", "tStartTIME", "tStartSTEPS",
    "tMenuSTART", "tMenuSETTINGS", "tMenuCREDITS", "tMenuQUIT",
    "tInGameRESUME", "tInGameRESTART", "tInGameSETTINGS", "tInGameQUIT",
    "tQuitQUESTION", "tQuitYES", "tQuitNO",
    "tSettingsTITLE", "tSettingsLANGUAGE", "tSettingsMUSIC", "tSettingsON", "tSettingsOFF",
    "tSettingsSCREENMODE", "tSettingsFULLSCREEN", "TSettingsWINDOWED", "tSettingsBORDERLESS",
    "tSettingsRESOLUTION", "tSettingsOK", "tSettingsCANCEL",
    "tCompleteTITLE", "tCompleteTIME", "tCompleteSTEPS", "tCompleteRETRY", "tCompleteMENU", "tCompleteNEXT",
    "tGcCONGRATULATIONS", "tGcGAMECOMPLETE",
    "tCreditsTITLE", "tCreditsCODEDESIGN", "tCreditsMUSIC", "tCreditsGFX", "tCreditsCRATE",
    "tErrorERROR", "tErrorSUBSYSTEM", "tErrorSCREEN", "tErrorASSET"};

// The UI string table and the language lists.
//
//   Table: every text present, well-formed, translated, and in the house style of its English row.
//   Fixed rows: the texts that other parts of the launcher and the players rely on, byte for byte.
//   Choosing a language: codes, case, fallback, Windows language ids, loca.cfg flows.
//   Client list: codes, code pages, display names, index.
//   Threads: the update thread reading texts while the UI thread switches language.
//   Settings texts: the pages' table in every language, its fixed English texts, its lookup.
#include "i18n/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

#include "i18n/settings_texts.h"

namespace {

constexpr int kPt = 0, kEn = 1, kEs = 2, kFr = 3, kDe = 4, kIt = 5, kRo = 6, kPl = 7, kCz = 8,
              kHu = 9, kTr = 10, kGr = 11;

std::string narrow(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text; *p; ++p) {
    const unsigned c = static_cast<unsigned>(*p);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char buf[16];
      snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
  return out;
}

std::string where(int lang, int id) {
  return std::string(uiLanguageCodeAt(lang)) + " #" + std::to_string(id) + " \"" +
         narrow(uiTextIn(lang, id)) + "\"";
}

// Decodes a wide text into code points; false when it is not well-formed (a lone surrogate
// from UTF-16, or a value beyond U+10FFFF).
bool codePoints(const std::wstring& text, std::u32string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF) {
        if (i + 1 >= text.size()) return false;
        const char32_t low = static_cast<char16_t>(text[i + 1]);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else if (c >= 0xDC00 && c <= 0xDFFF) {
        return false;
      }
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      return false;
    }
    out->push_back(c);
  }
  return true;
}

// Lower-case letters of the scripts in the table (Latin-1, Latin Extended-A, the Romanian
// comma-below letters, Greek).
bool isLowerLetter(char32_t c) {
  if (c >= U'a' && c <= U'z') return true;
  if (c >= 0xDF && c <= 0xFF) return c != 0xF7;
  if (c >= 0x100 && c <= 0x137) return c % 2 == 1;
  if (c == 0x138) return true;
  if (c >= 0x139 && c <= 0x148) return c % 2 == 0;
  if (c >= 0x149 && c <= 0x177) return c % 2 == 1;
  if (c >= 0x179 && c <= 0x17F) return c % 2 == 0 || c == 0x17F;
  if (c == 0x219 || c == 0x21B) return true;
  if (c >= 0x3AC && c <= 0x3CE) return true;
  return false;
}

bool endsWith(const std::wstring& s, const std::wstring& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Texts that are the same word in English and in that language. Anything else identical to the
// English text is an untranslated row.
const std::set<std::pair<int, int>> kSameAsEnglish = {
    {kPt, kStrTotal},   {kEs, kStrError},   {kEs, kStrTotal},   {kFr, kStrTotal},
    {kFr, kStrVersion}, {kDe, kStrVersion}, {kDe, kStrUpdates}, {kDe, kStrTagUpdate},
    {kIt, kStrFile},    {kIt, kStrHome},    {kIt, kStrStaff},   {kRo, kStrTotal},
};

// Rows fixed in all twelve languages, in UI table order.
struct FixedRow {
  int id;
  const wchar_t* texts[kUiLanguageCount];
};
const FixedRow kFixedRows[] = {
    {kStrConnecting,
     {L"A ligar ao servidor de patch...", L"Connecting to patch server...",
      L"Conectando con el servidor de parches...", L"Connexion au serveur de mise à jour...",
      L"Verbinde mit dem Patch-Server...", L"Connessione al server delle patch...",
      L"Se conectează la serverul de patch...", L"Łączenie z serwerem aktualizacji...",
      L"Připojování k aktualizačnímu serveru...", L"Csatlakozás a frissítési szerverhez...",
      L"Yama sunucusuna bağlanılıyor...", L"Σύνδεση στον διακομιστή ενημερώσεων..."}},
    {kStrPlay,
     {L"JOGAR", L"PLAY", L"JUGAR", L"JOUER", L"SPIELEN", L"GIOCA", L"JOACĂ", L"GRAJ", L"HRÁT",
      L"JÁTÉK", L"OYNA", L"ΠΑΙΞΕ"}},
    {kStrRetry,
     {L"TENTAR DE NOVO", L"RETRY", L"REINTENTAR", L"RÉESSAYER", L"ERNEUT VERSUCHEN", L"RIPROVA",
      L"REÎNCEARCĂ", L"SPRÓBUJ PONOWNIE", L"ZKUSIT ZNOVU", L"ÚJRA", L"TEKRAR DENE", L"ΞΑΝΑ"}},
    {kStrErrNoGameExe,
     {L"Executável do jogo não encontrado.", L"Game executable not found.",
      L"No se encontró el ejecutable del juego.", L"Exécutable du jeu introuvable.",
      L"Spieldatei nicht gefunden.", L"Eseguibile del gioco non trovato.",
      L"Executabilul jocului nu a fost găsit.", L"Nie znaleziono pliku gry.",
      L"Spustitelný soubor hry nebyl nalezen.", L"A játék futtatható fájlja nem található.",
      L"Oyun dosyası bulunamadı.", L"Το εκτελέσιμο του παιχνιδιού δεν βρέθηκε."}},
    {kStrLanguage,
     {L"Idioma", L"Language", L"Idioma", L"Langue", L"Sprache", L"Lingua", L"Limbă", L"Język",
      L"Jazyk", L"Nyelv", L"Dil", L"Γλώσσα"}},
};

const char* const kUiOrder[kUiLanguageCount] = {"pt", "en", "es", "fr", "de", "it",
                                                "ro", "pl", "cz", "hu", "tr", "gr"};

}  // namespace

// Runs first in its own process under CTest: nothing has chosen a language or read loca.cfg.
TEST(UiLanguageStart, EnglishBeforeAnyChoice) {
  EXPECT_STREQ(uiLanguageCode(), "en");
  EXPECT_STREQ(uiText(kStrPlay), L"PLAY");
}

TEST(StringTable, EveryLanguageHasEveryTextWellFormed) {
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    EXPECT_STREQ(uiLanguageCodeAt(lang), kUiOrder[lang]);
    for (int id = 0; id < kUiStringCount; ++id) {
      const wchar_t* text = uiTextIn(lang, id);
      ASSERT_NE(text, nullptr) << uiLanguageCodeAt(lang) << " #" << id;
      const std::wstring s(text);
      ASSERT_FALSE(s.empty()) << uiLanguageCodeAt(lang) << " #" << id;
      std::u32string cps;
      ASSERT_TRUE(codePoints(s, &cps)) << where(lang, id);
      for (char32_t c : cps) {
        EXPECT_GE(c, 0x20u) << where(lang, id);  // no control characters
        EXPECT_NE(c, 0x7Fu) << where(lang, id);
        EXPECT_NE(c, 0xFFFDu) << where(lang, id);  // no replacement character from a bad decode
        EXPECT_FALSE(c >= 0x80 && c < 0xA0)
            << where(lang, id);  // no C1 bytes from Latin-1 mojibake
      }
      EXPECT_NE(s.front(), L' ') << where(lang, id);
      EXPECT_NE(s.back(), L' ') << where(lang, id);
      EXPECT_EQ(s.find(L"  "), std::wstring::npos) << where(lang, id);
    }
  }
}

TEST(StringTable, OutOfRangeLookupsAreEmpty) {
  setUiLanguage("de");
  EXPECT_STREQ(uiText(kUiStringCount), L"");
  EXPECT_STREQ(uiText(static_cast<StringId>(1000)), L"");
  EXPECT_STREQ(uiText(static_cast<StringId>(-1)), L"");
  EXPECT_STREQ(uiTextIn(-1, 0), L"");
  EXPECT_STREQ(uiTextIn(kUiLanguageCount, 0), L"");
  EXPECT_STREQ(uiTextIn(kEn, kUiStringCount), L"");
  EXPECT_STREQ(uiLanguageCodeAt(-1), "");
  EXPECT_STREQ(uiLanguageCodeAt(kUiLanguageCount), "");
}

// The English texts that players, scripts and the end-to-end checks read as they are.
TEST(StringTable, EnglishTextsAreExact) {
  const std::pair<StringId, const wchar_t*> english[] = {
      {kStrVerifying, L"Verifying signature..."},
      {kStrReadyToPlay, L"READY TO PLAY"},
      {kStrUpToDate, L"Client up to date"},
      {kStrError, L"ERROR"},
      {kStrErrConnect, L"Could not connect to the patch server."},
      {kStrErrSignature, L"Invalid patch signature. Download refused."},
      {kStrErrRollback, L"The server sent an older version than the installed one."},
      {kStrErrNoPublicKey, L"Public key not configured (public_key)."},
      {kStrErrWrite, L"Could not write file:"},
      {kStrErrFileInUse, L"File in use - close the game and try again:"},
      {kStrWindowModeHint, L"Play in a window instead of fullscreen"},
      {kStrTeam, L"Quillmark Team"},
      {kStrCloseGameForSettings, L"Close the game to change settings"},
      {kStrErrFolderBusy, L"Another update of this game folder is running."},
      {kStrErrExpired, L"The patch server is out of date: the release it offers expired on %1."},
      {kStrErrDiskSpace, L"Not enough disk space for the update: it needs %1, and %2 is free."},
  };
  for (const auto& [id, text] : english) EXPECT_STREQ(uiTextIn(kEn, id), text) << where(kEn, id);
  setUiLanguage("en");
  EXPECT_STREQ(uiText(kStrTeam), L"Quillmark Team");
  EXPECT_STREQ(uiText(kStrUpdating), uiText(kStrUpdatingButton));
  EXPECT_STREQ(uiText(kStrNewsTitle), uiText(kStrTagNews));
}

TEST(StringTable, FixedRowsAreExactInEveryLanguage) {
  for (const FixedRow& row : kFixedRows) {
    for (int lang = 0; lang < kUiLanguageCount; ++lang) {
      EXPECT_STREQ(uiTextIn(lang, row.id), row.texts[lang]) << where(lang, row.id);
    }
  }
}

// The same texts spelled with universal character names, so that a compiler reading the UTF-8
// source as another charset (or a narrow wchar_t conversion) cannot pass by being wrong twice.
TEST(StringTable, NonAsciiLettersSurviveTheWideLiterals) {
  EXPECT_EQ(std::wstring(uiTextIn(kGr, kStrLanguage)), L"\u0393\u03BB\u03CE\u03C3\u03C3\u03B1");
  EXPECT_EQ(std::wstring(uiTextIn(kGr, kStrPlay)), L"\u03A0\u0391\u0399\u039E\u0395");
  EXPECT_EQ(std::wstring(uiTextIn(kCz, kStrPlay)), L"HR\u00C1T");
  EXPECT_EQ(std::wstring(uiTextIn(kCz, kStrLanguage)), L"Jazyk");
  EXPECT_EQ(std::wstring(uiTextIn(kPl, kStrLanguage)), L"J\u0119zyk");
  EXPECT_EQ(std::wstring(uiTextIn(kPl, kStrRetry)), L"SPR\u00D3BUJ PONOWNIE");
  EXPECT_EQ(std::wstring(uiTextIn(kRo, kStrRetry)), L"RE\u00CENCEARC\u0102");
  EXPECT_EQ(std::wstring(uiTextIn(kTr, kStrErrNoGameExe)), L"Oyun dosyas\u0131 bulunamad\u0131.");
  EXPECT_EQ(std::wstring(uiTextIn(kHu, kStrRetry)), L"\u00DAJRA");
  EXPECT_EQ(std::wstring(uiTextIn(kPt, kStrErrNoGameExe)),
            L"Execut\u00E1vel do jogo n\u00E3o encontrado.");
  EXPECT_EQ(std::wstring(clientLanguage(8).displayName), L"\u010Ce\u0161tina");
  EXPECT_EQ(std::wstring(clientLanguage(11).displayName),
            L"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC");
  // One code unit per letter: these letters are all in the Basic Multilingual Plane.
  EXPECT_EQ(std::wstring(uiTextIn(kGr, kStrLanguage)).size(), 6u);
}

TEST(StringTable, EveryOtherLanguageIsTranslated) {
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    if (lang == kEn) continue;
    for (int id = 0; id < kUiStringCount; ++id) {
      const bool same = std::wstring(uiTextIn(lang, id)) == uiTextIn(kEn, id);
      const bool allowed = id == kStrDiscord || kSameAsEnglish.count({lang, id}) > 0;
      EXPECT_EQ(same, allowed) << where(lang, id)
                               << (same ? " is the English text"
                                        : " is listed as English but differs");
    }
  }
}

// The shapes that the screens and the error reporting rely on: "..." for ongoing work, a final
// ":" where a file name follows, capitals for titles and buttons, the configuration key kept.
TEST(StringTable, TranslationsKeepTheShapeOfTheEnglishText) {
  for (int id = 0; id < kUiStringCount; ++id) {
    const std::wstring en = uiTextIn(kEn, id);
    const bool ellipsis = endsWith(en, L"...");
    const bool colon = endsWith(en, L":");
    const bool sentence = !ellipsis && endsWith(en, L".");
    bool capitals = false;
    for (wchar_t c : en) capitals = capitals || (c >= L'A' && c <= L'Z');
    for (wchar_t c : en) capitals = capitals && !(c >= L'a' && c <= L'z');
    for (int lang = 0; lang < kUiLanguageCount; ++lang) {
      const std::wstring s = uiTextIn(lang, id);
      EXPECT_EQ(endsWith(s, L"..."), ellipsis) << where(lang, id);
      EXPECT_EQ(endsWith(s, L":"), colon) << where(lang, id);
      EXPECT_EQ(!endsWith(s, L"...") && endsWith(s, L"."), sentence) << where(lang, id);
      if (capitals) {
        std::u32string cps;
        ASSERT_TRUE(codePoints(s, &cps));
        for (char32_t c : cps) {
          EXPECT_FALSE(isLowerLetter(c)) << where(lang, id);
        }
      }
      if (en.find(L"(public_key)") != std::wstring::npos) {
        EXPECT_NE(s.find(L"(public_key)"), std::wstring::npos) << where(lang, id);
      }
      // A value goes into the text at "%1": exactly once in every language.
      if (en.find(L"%1") != std::wstring::npos) {
        const std::size_t at = s.find(L"%1");
        EXPECT_TRUE(at != std::wstring::npos && s.find(L"%1", at + 1) == std::wstring::npos)
            << where(lang, id);
      }
      if (id == kStrTeam) {
        EXPECT_NE(s.find(L"Quillmark"), std::wstring::npos) << where(lang, id);
      }
    }
  }
}

TEST(UiLanguageChoice, CodesMatchInAnyAsciiCaseAndUnknownCodesGiveEnglish) {
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    setUiLanguage(kUiOrder[lang]);
    EXPECT_STREQ(uiLanguageCode(), kUiOrder[lang]);
    EXPECT_EQ(usesDecimalComma(), lang != kEn) << kUiOrder[lang];
    for (int id = 0; id < kUiStringCount; ++id) {
      EXPECT_EQ(uiText(static_cast<StringId>(id)), uiTextIn(lang, id));
    }

    std::string upper = kUiOrder[lang];
    for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
    setUiLanguage("pt");
    setUiLanguage(upper);
    EXPECT_STREQ(uiLanguageCode(), kUiOrder[lang]) << upper;
  }
  setUiLanguage("gR");
  EXPECT_STREQ(uiText(kStrLanguage), L"Γλώσσα");

  // An unknown code replaces the current language with English; it does not keep the old one.
  for (const char* unknown :
       {"nl", "", "p", "ptx", "pt ", " pt", "english", "el", "cs", "\xC3\xA9s"}) {
    setUiLanguage("de");
    setUiLanguage(unknown);
    EXPECT_STREQ(uiLanguageCode(), "en") << '"' << unknown << '"';
    EXPECT_FALSE(usesDecimalComma());
    EXPECT_STREQ(uiText(kStrPlay), L"PLAY");
  }
  // A code is compared as a whole, including an embedded NUL.
  setUiLanguage(std::string_view("tr\0x", 4));
  EXPECT_STREQ(uiLanguageCode(), "en");
}

TEST(UiLanguageChoice, WindowsPrimaryLanguageIds) {
  const std::pair<unsigned, const char*> table[] = {
      {22, "pt"}, {10, "es"}, {12, "fr"}, {7, "de"},  {16, "it"}, {24, "ro"},
      {21, "pl"}, {5, "cz"},  {14, "hu"}, {31, "tr"}, {8, "gr"},  {9, "en"},
  };
  for (const auto& [id, code] : table) EXPECT_STREQ(uiLanguageForWindowsId(id), code) << id;
  // Portuguese (Brazil) and Portuguese (Portugal), passed as full language ids.
  EXPECT_STREQ(uiLanguageForWindowsId(0x0416), "pt");
  EXPECT_STREQ(uiLanguageForWindowsId(0x0816), "pt");
  EXPECT_STREQ(uiLanguageForWindowsId(0x0408), "gr");
  // Dutch, Japanese, neutral and the largest primary id are not in the table.
  for (unsigned id : {19u, 17u, 0u, 0x3FFu}) EXPECT_STREQ(uiLanguageForWindowsId(id), "en") << id;

  setUiLanguage(uiLanguageForWindowsId(0x0416 & 0x3FF));
  EXPECT_STREQ(uiText(kStrPlay), L"JOGAR");
  setUiLanguage(uiLanguageForWindowsId(19));
  EXPECT_STREQ(uiText(kStrPlay), L"PLAY");
}

TEST(ClientLanguages, CodesCodePagesAndNames) {
  struct Row {
    const char* code;
    const char* codePage;
    const wchar_t* name;
  };
  const Row expected[kClientLanguageCount] = {
      {"pt", "1252", L"Português"}, {"en", "1252", L"English"}, {"es", "1252", L"Español"},
      {"fr", "1252", L"Français"},  {"de", "1252", L"Deutsch"}, {"it", "1252", L"Italiano"},
      {"ro", "1250", L"Română"},    {"pl", "1250", L"Polski"},  {"cz", "1250", L"Čeština"},
      {"hu", "1250", L"Magyar"},    {"tr", "1254", L"Türkçe"},  {"gr", "1253", L"Ελληνικά"},
  };
  for (int i = 0; i < kClientLanguageCount; ++i) {
    EXPECT_STREQ(clientLanguage(i).code, expected[i].code) << i;
    EXPECT_STREQ(clientLanguage(i).codePage, expected[i].codePage) << i;
    EXPECT_STREQ(clientLanguage(i).displayName, expected[i].name) << i;
    EXPECT_EQ(findClientLanguage(expected[i].code), i);
  }
  // The two lists hold the same twelve codes, each once, in their own orders.
  std::set<std::string> ui, client;
  for (int i = 0; i < kUiLanguageCount; ++i) ui.insert(uiLanguageCodeAt(i));
  for (int i = 0; i < kClientLanguageCount; ++i) client.insert(clientLanguage(i).code);
  EXPECT_EQ(ui.size(), 12u);
  EXPECT_EQ(ui, client);
  EXPECT_STREQ(uiLanguageCodeAt(8), "cz");
  EXPECT_STREQ(clientLanguage(8).code, "cz");
  EXPECT_STREQ(uiLanguageCodeAt(10), "tr");
  EXPECT_STREQ(clientLanguage(10).code, "tr");

  EXPECT_EQ(findClientLanguage("GR"), 11);
  EXPECT_EQ(findClientLanguage("Cz"), 8);
  for (const char* unknown : {"", "xx", "g", "grr", "GR ", "1250"}) {
    EXPECT_EQ(findClientLanguage(unknown), -1) << '"' << unknown << '"';
  }
  // A wrong index cannot read past the list.
  EXPECT_STREQ(clientLanguage(-1).code, "pt");
  EXPECT_STREQ(clientLanguage(kClientLanguageCount).code, "pt");
}

// The start-up and language-choice flows as the shell runs them, on the list's data.
TEST(ClientLanguages, LocaCfgChoosesTheUiLanguage) {
  // "1253 GR": the code compares without case, so Greek.
  setUiLanguage(uiLanguageForWindowsId(9));
  int index = findClientLanguage("GR");
  ASSERT_GE(index, 0);
  setUiLanguage(clientLanguage(index).code);
  EXPECT_STREQ(uiLanguageCode(), "gr");
  EXPECT_STREQ(uiText(kStrLanguage), L"Γλώσσα");

  // A file holding only a code page names no language: the index stays 0 and, since the file
  // exists, the UI becomes Portuguese.
  setUiLanguage(clientLanguage(0).code);
  EXPECT_STREQ(uiLanguageCode(), "pt");
  EXPECT_STREQ(uiText(kStrPlay), L"JOGAR");

  // Choosing Hungarian (client index 9, UI row 9) and Turkish (client 10, UI row 10) in the list
  // whose order differs from the UI table's around them.
  setUiLanguage(clientLanguage(findClientLanguage("hu")).code);
  EXPECT_STREQ(uiText(kStrRetry), L"ÚJRA");
  setUiLanguage(clientLanguage(findClientLanguage("tr")).code);
  EXPECT_STREQ(uiText(kStrRetry), L"TEKRAR DENE");
}

// The update thread makes its error texts while the UI thread may switch language; every text it
// reads must be a whole text of one of the twelve languages.
TEST(UiLanguageThreads, ReaderSeesWholeTextsWhileTheLanguageChanges) {
  std::set<std::wstring> valid;
  for (int lang = 0; lang < kUiLanguageCount; ++lang) valid.insert(uiTextIn(lang, kStrErrConnect));

  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop.load()) {
      if (valid.count(uiText(kStrErrConnect)) == 0) bad.fetch_add(1);
      reads.fetch_add(1);
    }
  });
  // Switch until the reader has taken a good number of samples during the switching.
  for (int round = 0; reads.load() < 2000 || round < 2000; ++round) {
    setUiLanguage(kUiOrder[round % kUiLanguageCount]);
  }
  stop.store(true);
  reader.join();
  EXPECT_EQ(bad.load(), 0);
}

// ---- Settings texts

namespace {

std::string whereSettings(int lang, int id) {
  return std::string(uiLanguageCodeAt(lang)) + " settings #" + std::to_string(id) + " \"" +
         narrow(settingsTextIn(lang, id)) + "\"";
}

// Settings texts that are the same word in English and in that language; the refresh rates and
// "Ultra" are the same in every language.
const std::set<std::pair<int, int>> kSettingsSameAsEnglish = {
    {kPt, kSetPageInterface},
    {kFr, kSetPageInterface},
    {kDe, kSetPageSound},
};

bool sameInEveryLanguage(int id) {
  return (id >= kSetOpt60 && id <= kSetOpt240) || id == kSetOptUltra;
}

}  // namespace

TEST(SettingsTexts, EveryLanguageHasEveryTextTranslatedWellFormedAndShort) {
  // Names the player finds in the files and on the keyboard stay as they are.
  const std::pair<int, const wchar_t*> kept[] = {
      {kSetIntro, L"Quillmark"},
      {kSetSavesTo, L"vessa.cfg"},
      {kSetFpsLimit, L"FPS"},
      {kSetWindowsKeyboard, L"Windows"},
      {kSetWindowsKeyboard, L"(IME)"},
      {kSetWindowsKeyboardDesc, L"IME"},
      {kSetAlwaysShowNamesDesc, L"Alt"},
      {kSetSharpnessDesc, L"(0 = "},
      {kSetFieldOfViewDesc, L"100"},
  };
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    for (int id = 0; id < kSettingsTextCount; ++id) {
      const std::wstring s = settingsTextIn(lang, id);
      const std::wstring en = settingsTextIn(kEn, id);
      ASSERT_FALSE(s.empty()) << whereSettings(lang, id);
      std::u32string cps;
      ASSERT_TRUE(codePoints(s, &cps)) << whereSettings(lang, id);
      for (char32_t c : cps) {
        EXPECT_TRUE(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c != 0xFFFD)
            << whereSettings(lang, id);
      }
      EXPECT_TRUE(s.front() != L' ' && s.back() != L' ' && s.find(L"  ") == std::wstring::npos)
          << whereSettings(lang, id);
      // Descriptions and messages are sentences; labels, titles and options are not.
      EXPECT_EQ(endsWith(s, L"."), endsWith(en, L".")) << whereSettings(lang, id);
      if (lang != kEn) {
        const bool same = s == en;
        const bool allowed = sameInEveryLanguage(id) || kSettingsSameAsEnglish.count({lang, id});
        EXPECT_EQ(same, allowed) << whereSettings(lang, id)
                                 << (same ? " is the English text" : " is listed as English");
      }
      // Option labels fit a button of about 120 units at 13 px: no longer than the longest
      // English one ("Name on mouse-over").
      if (id >= kSetOptWindow && id <= kSetOptHidden) {
        EXPECT_LE(cps.size(), 18u) << whereSettings(lang, id);
      }
    }
    for (const auto& [id, token] : kept) {
      EXPECT_NE(std::wstring(settingsTextIn(lang, id)).find(token), std::wstring::npos)
          << whereSettings(lang, id);
    }
  }
}

TEST(SettingsTexts, FixedEnglishTextsAndTheCurrentLanguage) {
  const std::pair<int, const wchar_t*> english[] = {
      {kSetTitle, L"Settings"},
      {kSetGameRunning,
       L"The game is running \u2014 close it before saving, otherwise it overwrites the changes "
       L"when it exits."},
      {kSetSavesTo, L"Saves to vessa.cfg"},
      {kSetSaved, L"Settings saved."},
      {kSetSave, L"Save"},
      {kSetSaveAndPlay, L"Save & play"},
      {kSetSaveFailed, L"Could not save the settings."},
      {kSetPageEnvironmentSub, L"Weather, fog & night"},
      {kSetGameCursorDesc, L"Use the cursor drawn by the game instead of Windows\u2019."},
      {kSetSoundEffectsDesc, L"Volume of effects and combat."},
      {kSetOptNameOnHover, L"Name on mouse-over"},
      {kSetOptHidden, L"Hidden"},
  };
  for (const auto& [id, text] : english) EXPECT_STREQ(settingsTextIn(kEn, id), text) << id;

  setUiLanguage("cz");
  EXPECT_STREQ(settingsText(kSetSave), L"Ulo\u017Eit");
  setUiLanguage("gr");
  EXPECT_STREQ(settingsText(kSetCancel), settingsTextIn(kGr, kSetCancel));
  setUiLanguage("xx");
  EXPECT_STREQ(settingsText(kSetSave), L"Save");
  for (int id : {-1, static_cast<int>(kSettingsTextCount), 1000}) {
    EXPECT_STREQ(settingsText(static_cast<SettingsTextId>(id)), L"") << id;
  }
  EXPECT_STREQ(settingsTextIn(kUiLanguageCount, kSetSave), L"");
}

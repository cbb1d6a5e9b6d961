// The program's operations under their own names: the bar's and the
// buttons' (WLX_), the card's (TFA_), the viewer's and the journal's. Each
// works on the running program (TheApp()); the card operations marked so run
// on the card thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/transfer.h"
#include "model/info_logic.h"

// --- Settings and folders -------------------------------------------------

// Next built-in text block (the default settings file), ending in CR LF; the
// empty string once every block has been read.
std::wstring own_ReadData();
// Both group and key given: the value of one key of the settings file (""
// when the key is missing). Otherwise loads all settings of the program.
std::wstring WLX_LoadPreferences(const std::wstring& group, const std::wstring& key);
// Stores one value in the settings file; 0 when it cannot.
uint8_t WLX_SavePreference(const std::wstring& group, const std::wstring& key, const std::wstring& value);
// Non-empty folder: makes sure that one folder exists (creating one level).
// Empty: fills the empty [Copy] folders with their defaults below the user
// profile and creates the working tree. 1 on success, 0 on failure.
uint8_t WLX_CheckCreateDir(const std::wstring& folder);
// Full path of the first known viewer installed, or "" (the hit's id is kept).
std::wstring WLX_AutoSearch_Viewer();
// The working mode the viewer's path names.
std::wstring WLX_GetModeFromViewer();

// --- The bar and its info panel ---------------------------------------------

int OpenMainWindow();
// A journal line for a non-empty text; the next info view for an empty one.
uint8_t ShowInfo(const std::wstring& text);
// Paints a lamp ("r", "g", "b", "y", "c" clears) at the top ("t") or bottom
// ("b") of an image; 1 when drawn.
int SetState(int image, const std::wstring& colour, const std::wstring& position);
// The same with the lamp and its place named as they are in the program.
int SetLamp(int image, model::Lamp colour, model::LampAt at);
// 1 journal, 2 tree, 3 thumbnails visible; 0 none.
int GetInfoState();

// --- Buttons ---------------------------------------------------------------

void WLX_btn_01();
void WLX_btn_02();
void WLX_btn_03();
void WLX_btn_04();
void WLX_btn_05();
uint8_t WLX_btn_07();
void WLX_btn_8();
void WLX_btn_09();
void WLX_btn_10();
void WLX_btn_11();

// --- The viewer --------------------------------------------------------------

// The viewer finders: request "hwnd" finds the topmost visible top-level
// window of the viewer's class that the viewer's own program opened. The
// class name found, with the search state holding its window, or "%ERR%".
std::wstring Irfan_GetPGMData(const std::wstring& request);
std::wstring Fast_GetPGMData(const std::wstring& request);
std::wstring XnView_GetPGMData(const std::wstring& request);
std::wstring Nomacs_GetPGMData(const std::wstring& request);
std::wstring PS_GetPGMData(const std::wstring& request);
// The window of the working mode's viewer, nullptr when none runs.
HWND FindModeViewerWindow();
// Shows a stored file as the working mode says; 1 handled, 0 not shown.
uint8_t Viewer_ShowFile(const std::wstring& path);
// Copies the file named in text (the viewer's title) into the selection
// folder; 1 when it is there afterwards.
uint8_t Viewer_CopyToSel(const std::wstring& text);

// --- The card (on the card thread unless said otherwise) ------------------

// Opens the card's network session and begins the card session; false when
// WinInet refuses (interface thread, at start-up).
[[nodiscard]] bool OpenInternetHandle();
// Interface thread: starts the card poll timer when `on` is non-zero; 1.
uint8_t TFA_StartPolling(uint8_t on);
// One tick of the card poll timer: finds and polls the card and transfers
// what is new.
void TFA_CardTimerStep();
// Card thread, between ticks: op=102, and the card step at once on a change.
void QuickPollStep();
int32_t TFA_GetData(const std::wstring& kind, const std::wstring& argument);
int32_t TFA_Split(const std::wstring& kind, const std::string& answer);
int8_t TFA_CheckUpdate();
uint8_t TFA_CheckUrlPing(const std::wstring& host);
uint8_t TFA_SearchUrl();
int32_t TFA_NoTransferList();
// Walks the card and has the interface rebuild the tree; 0 when the card
// did not answer (the old tree stays), else the number of entries, at most 255.
uint8_t TFA_CreateTree();
// Fetches the thumbnail of a card JPEG into the cache unless it is there
// already; 1 when the cache holds it.
int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory);
// Interface thread: rebuilds the thumbnail grid at once; the missing
// pictures are fetched on the card thread. The number of rows + 1.
int32_t TFA_CreateThumbs();
// Interface thread: has the card walked and the tree rebuilt (once while a
// request is under way).
void RequestTree();

// --- The card tree and the thumbnail grid (interface thread) -------------

void WLX_TREE_POP_EnaDis();
// Menu choice 161..171 for the selected tree item; returns 1 file, 2 folder.
uint8_t WLX_TREE_POP(int menuId);
// "transferfile" or "showfileinfo" on the record at position index.
int32_t WLX_TREE_POP(const std::wstring& command, int32_t index);
// "normal", "shift", "ctrl" after a toggle click; "transferfile" refreshes
// one cell's faces and tree mark.
int32_t WLX_THUMB_State(const std::wstring& mode, int32_t index);
// Button 1 with the thumbnail view shown: has every checked cell transferred
// to the storage folder on the card thread. False when nothing was checked.
bool TransferSelectedThumbnails();

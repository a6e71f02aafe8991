// Loading a signal file into a saved scope: the first free one takes the file's trigger and
// time-base settings and one saved trace per channel present, in display slot C..F.
#pragma once

#include <scope/SignalFile.h>

#include <core/SavedScope.h>
#include <core/Scale.h>

namespace scope {

// The first saved scope whose empty flag is set, or null; `index` (optional) receives its index.
CSavedScope* FirstFreeSavedScope(int* index = nullptr);

// A new saved signal of channel `channel` (+2 in the E/F pair) appended to the scope, with the
// start values of a saved trace (green, no data); `index` (optional) receives its list index.
CSavedSignal* AddSignal(CSavedScope& scope, int channel, int* index = nullptr);

// The title of a saved scope is its name (the file's name, shown by the tooltips and the printed
// legend); the comment is the file's title.
void SetTitle(CSavedScope& scope, const char* text);
void SetComment(CSavedScope& scope, const char* text);

// The display axis of a saved signal: ten divisions of its per-division value round the zero
// line, shifted by its position 0..100 (50 is the middle). A drag of the signal's thumb moves it
// the same way.
void PlaceSavedSignalAxis(CScale& axis, double perDivision, int position);

// Fills the first free saved scope from a whole, valid file. False (and nothing touched) when no
// saved scope is free. `fileName` becomes the title, `fileTitle` the comment.
bool LoadIntoSavedScope(const SignalFile& file, const char* fileName, const char* fileTitle,
                        int* scopeIndex = nullptr);

// The face text of a saved scope: the letter of its one signal ("C".."F" by the signal's slot,
// "Err" outside), "%s + %s" of its first two, "Err" when empty or missing.
CString SavedScopeTitle(const CSavedScope* scope);

// Empties saved scope 0 or 1 and clears the shown bit of its two display records (C, D or E, F).
void ClearSavedScope(int which);
// Empties both saved scopes and clears the shown bit of all four display records.
void ClearAllSavedScopes();

}  // namespace scope

// Whether the open project is its file as stored. A file that did not load
// whole (reading stopped at a damaged test point, or its backup set broke off)
// is never saved over without the user's word: its unread part would be lost.
#pragma once

#include <QString>

#include "model/document.hpp"

namespace tav::ui {

// One Chinese line naming the file and what is wrong with it; empty for a
// whole load.
QString LoadProblem(const LoadResult& result, const QString& path);

// Nothing of the file can stand as a project: not a project file, a count out
// of range, unreadable, or damaged from its first test point on. Opening such
// a file keeps the current project.
bool NothingUsable(const LoadResult& result);

// The question before saving over a source that did not load whole.
QString OverwriteDamagedQuestion(const QString& path, const QString& problem);

}  // namespace tav::ui

// Where zovex-render writes: the output folder, taken from the bytes the command line gave,
// and the private runtime folder it hands Qt in headless sessions that have none.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace zovex {

// Creates the folder if missing (from its bytes), checks that it can be written and sets
// `folder` to a name by which Qt reaches it: its own name, or, when that is not text in the
// locale's encoding, the folder held open for the rest of the process.
bool openOutputFolder(const QByteArray& dir, QString& folder, std::string& error);

// A private runtime folder for Qt under `base` (normally /tmp): base/zovex-runtime-<uid> when
// it is a real folder of this user that no one else can enter (made so when missing), else a
// fresh one, which `kind` then says, so that the caller removes it at the end. Empty, with the
// reason in `error`, when neither can be had.
enum class RuntimeFolderKind { Usual, Fresh };
QByteArray privateRuntimeFolder(const QByteArray& base, std::string& error, RuntimeFolderKind* kind = nullptr);

} // namespace zovex

#pragma once

#include <memory>
#include <string>

#include "app/local_files.h"
#include "entity/char_to_entity_translator.h"

namespace app {

// What a preparation gives the send.
struct PreparedContainer {
  // The file to send: the container, or the private copy.
  std::string file;
  // Why the container was left as it was and its prepared text went into a
  // private copy ("read-only", "hard-linked", ...); empty otherwise.
  std::string keptBecause;
  // The ".bak" an upload's success ends; empty where the container was not
  // the file prepared.
  std::string unprepared;
  // The private copy, removed when the send is done.
  std::unique_ptr<TemporaryFile> copy;
};

// Normalises a container in place before it is sent. A first line whose
// document type declaration names only the public identifier of version 1.2
// or 1.1 gets the DTD file name as system identifier; every further line goes
// through the translator, in the container's encoding (Windows-1252, or UTF-8
// when its byte-order mark or XML declaration says so); every line ends in
// CR LF. A file that is not 8-bit text (NUL bytes, a UTF-16 byte-order mark)
// or that declares an encoding the preparation cannot read is left exactly as
// it is.
//
// The user's original is never lost. "<container>.bak" holds the unprepared
// text of this container until an upload succeeds:
// - it is made when the preparation changes the container, or when the first
//   line had no system identifier;
// - a ".bak" whose preparation gives the container as it is now (the
//   original of an earlier, failed attempt) is kept, and the container,
//   prepared already, is left as it is; a ".bak" equal to the container is
//   kept too; neither is ever replaced by text this program rewrote;
// - any other ".bak" (of an earlier version of the container) is set aside
//   as "<container>.bak.1" (.2, ... the first free name), never overwritten.
//
// The container is never damaged: the new text is written to a temporary file
// in the container's folder, flushed to disk, and renamed over the container
// in one step, so at every moment the container exists complete, old or new.
// A container the preparation would not change is not rewritten.
//
// The container stays the file it was: a symbolic link stays a link, and the
// file it leads to is prepared in its own folder; the rewritten file has the
// owner, group, mode, ACL and extended attributes of the one it replaces. A
// container that cannot stay that file when rewritten (read-only by its mode,
// its permissions or its file system; in a folder that takes no new file;
// with further hard links; with an owner or an attribute this process cannot
// give a new file) is not touched: its prepared text goes into a private
// copy (mode 0600, in the temporary folder), which is sent instead, and no
// ".bak" is made. What a killed preparation left beside the container is
// removed first.
class ContainerPreparer {
 public:
  explicit ContainerPreparer(const entity::TCharToEntityTranslator& translator) : translator_(translator) {}
  virtual ~ContainerPreparer() = default;

  // Raises EInOutError when the container cannot be read, the new text or the
  // ".bak" copy cannot be written, or the container cannot be replaced; the
  // container is unchanged then.
  PreparedContainer Prepare(const std::string& container);

 protected:
  // Renames `from` over `to` in one step; false when that failed.
  virtual bool Replace(const std::string& from, const std::string& to);

 private:
  // What a ".bak" is to the container open as `in`: the same bytes, the
  // text the container was prepared from, or something else.
  enum class Backup { kNone, kSame, kPreparedFrom, kOther };
  Backup BackupOf(const std::string& backup, int in) const;
  // The prepared text of the container open as `in` in a private copy; the
  // container itself when the preparation would not change it.
  PreparedContainer PrepareCopy(int in, const std::string& container, std::string why) const;
  void SaveUnprepared(const std::string& container);

  const entity::TCharToEntityTranslator& translator_;
};

}  // namespace app

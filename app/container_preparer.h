#pragma once

#include <string>

#include "entity/char_to_entity_translator.h"

namespace app {

// Normalises a container in place before it is sent. A first line whose
// document type declaration names only the public identifier of version 1.2
// or 1.1 gets the DTD file name as system identifier; every further line goes
// through the translator; every line ends in CR LF. When the first line had no
// system identifier, the unprepared file is kept beside the container as
// "<container>.bak" (replacing one left by an earlier run).
//
// The container is never lost: the new text is written to a temporary file in
// the container's folder, flushed to disk, and renamed over the container in
// one step, so at every moment the container exists complete, old or new.
class ContainerPreparer {
 public:
  explicit ContainerPreparer(const entity::TCharToEntityTranslator& translator) : translator_(translator) {}
  virtual ~ContainerPreparer() = default;

  // Raises EInOutError when the container cannot be read, the new text or the
  // ".bak" copy cannot be written, or the container cannot be replaced; the
  // container is unchanged then.
  void Prepare(const std::string& container);

 protected:
  // Renames `from` over `to` in one step; false when that failed.
  virtual bool Replace(const std::string& from, const std::string& to);

 private:
  void SaveUnprepared(const std::string& container);

  const entity::TCharToEntityTranslator& translator_;
};

}  // namespace app

#include "tolu/syntax_tree.h"

namespace tolu::ast {
namespace {

std::size_t type_slot(const TypeName& type) {
  return type ? std::size_t{type.name().id()} + 1 : 0;
}

}  // namespace

void NotesTable::clear() {
  cache_ = {};
  all_.clear();
  by_type_.clear();
  file_ = SourceFile();
}

SharedName NotesTable::own(const SharedName& name) const {
  if (!name || name.name().table() == names_) return name;
  return SharedName(names_->intern_present(*name));
}

// Makes `file` the one whose pairs by_type_ holds.
void NotesTable::index_file(const SourceFile& file) {
  file_ = file;
  by_type_.assign(by_type_.size(), nullptr);
  for (const ExpressionNotes* notes : all_) {
    if (!(notes->source_file == file)) continue;
    const std::size_t slot = type_slot(notes->inferred_type);
    if (slot >= by_type_.size()) by_type_.resize(slot + 1, nullptr);
    by_type_[slot] = notes;
  }
}

const ExpressionNotes* NotesTable::add(const SourceFile& file_in, const TypeName& type_in) {
  const SourceFile file = own(file_in);
  const TypeName type = own(type_in);
  if (!(file == file_)) index_file(file);
  const std::size_t slot = type_slot(type);
  if (slot >= by_type_.size()) by_type_.resize(slot + 1, nullptr);
  const ExpressionNotes*& notes = by_type_[slot];
  if (!notes) {
    notes = arena_->make<ExpressionNotes>(ExpressionNotes{file, type});
    all_.push_back(notes);
  }
  // Only names of this table are cached: another table's may be gone, and its entries' memory
  // reused, by the next call.
  if (file.name().identity() == file_in.name().identity() &&
      type.name().identity() == type_in.name().identity())
    cache_[cache_index(type.name().identity())] = {file.name().identity(), type.name().identity(),
                                                   notes};
  return notes;
}

}  // namespace tolu::ast

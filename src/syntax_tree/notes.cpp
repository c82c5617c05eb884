#include "tolu/syntax_tree.h"

namespace tolu::ast {
namespace {

std::uint32_t type_key(const TypeName& type) {
  return type ? type.name().id() + 1 : 0;
}

}  // namespace

void NotesTable::clear() {
  cache_ = {};
  all_.assign(1, &kNoNotes);
  aside_.clear();
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
  by_type_.clear();
  for (const ExpressionNotes* notes : all_) {
    if (notes->source_file == file) by_type_[type_key(notes->inferred_type)] = notes;
  }
}

const ExpressionNotes* NotesTable::add(const SourceFile& file_in, const TypeName& type_in) {
  const SourceFile file = own(file_in);
  const TypeName type = own(type_in);
  if (!(file == file_)) index_file(file);
  const ExpressionNotes*& notes = by_type_[type_key(type)];
  if (!notes) {
    const auto number =
        all_.size() <= numbered_ ? static_cast<std::uint32_t>(all_.size()) : NotesNumber::kAside;
    notes = arena_->make<ExpressionNotes>(ExpressionNotes{file, type, number});
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

// Lists of point sets of one width.
#include "verify/pointset.hpp"

namespace kovra {

std::vector<unsigned> PointsOfSet(PointSetView s) {
  std::vector<unsigned> out;
  ForEachPoint(s, [&](unsigned p) { out.push_back(p); });
  return out;
}

PointSetList::PointSetList(unsigned v, unsigned words) {
  WithWords(std::max(WordsFor(v), words),
            [&](auto width) { sets_.emplace<std::vector<PointSet<width()>>>(); });
}

size_t PointSetList::size() const {
  return std::visit([](const auto& sets) { return sets.size(); }, sets_);
}

void PointSetList::clear() {
  std::visit([](auto& sets) { sets.clear(); }, sets_);
}

void PointSetList::reserve(size_t n) {
  std::visit([n](auto& sets) { sets.reserve(n); }, sets_);
}

void PointSetList::AddFrom(const PointSetList& other, size_t i) {
  WithWords(Words(), [&](auto width) { Sets<width()>().push_back(other.Sets<width()>()[i]); });
}

PointSetView PointSetList::operator[](size_t i) const {
  return std::visit(
      [i](const auto& sets) {
        return PointSetView{sets[i].w, static_cast<unsigned>(std::size(sets[i].w))};
      },
      sets_);
}

} // namespace kovra

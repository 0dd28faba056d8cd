// Where a scroll thumb lies on its track, for every scrolling part of the
// toolkit (containers, the scroll bar control, the drop-down list): its
// length shows how much of the content is in view, its start how far the
// view has moved through the rest.
#pragma once

#include <algorithm>

namespace toolkit {

struct ThumbSpan {
  int start = 0;  // from the track's start
  int length = 0;
};

// `shown` of `total` is in view (the thumb's share of the `track`, at least
// `min_length` and at most the whole track); `offset` of `max_offset` has
// scrolled past.
[[nodiscard]] inline ThumbSpan PlaceThumb(int track, int min_length, long long shown, long long total, long long offset,
                                          long long max_offset) {
  const int share = static_cast<int>(track * shown / std::max(1LL, total));
  const int length = std::min(track, std::max(min_length, share));
  const int travel = std::max(0, track - length);
  return {static_cast<int>(travel * offset / std::max(1LL, max_offset)), length};
}

}  // namespace toolkit

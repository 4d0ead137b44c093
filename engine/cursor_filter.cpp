// The cursor's filters: added inactive, ANDed into visible_ while active.
#include <algorithm>

#include "engine/cursor.h"
#include "engine/errors.h"

namespace dbe {

CursorFilter* Cursor::AddFilter(Where condition) {
    filters_.push_back(std::make_unique<CursorFilter>(CursorFilter{std::move(condition), false}));
    return filters_.back().get();
}

void Cursor::SetFilterActive(const void* handle, bool active) {
    (*FindFilter(handle))->active = active;
    UpdateVisible();
    SetToBegin();
}

void Cursor::DropFilter(const void* handle) {
    const auto found = FindFilter(handle);
    const bool active = (*found)->active;
    filters_.erase(found);
    if (!active) return;
    UpdateVisible();
    SetToBegin();
}

// Handles are compared, never followed, so that any value is safe to pass.
std::vector<std::unique_ptr<CursorFilter>>::iterator Cursor::FindFilter(const void* handle) {
    const auto found = std::find_if(filters_.begin(), filters_.end(),
                                    [&](const auto& filter) { return filter.get() == handle; });
    if (found == filters_.end()) throw EngineError(DBIERR_INVALIDHNDL);
    return found;
}

void Cursor::UpdateVisible() {
    visible_ = view_.condition;
    for (const auto& filter : filters_) {
        if (filter->active) visible_.And(filter->condition);
    }
}

}  // namespace dbe

// What the C entry points share: the started engine's handle tables and the guard that turns
// every failure into a result code and the error stack.
//
// Contracts:
// - A handle is valid from the call that made it to the call that frees it; any other value
//   (null, freed, of another kind) answers DBIERR_INVALIDHNDL, never undefined behaviour.
// - Call() clears the error stack, requires a started engine, and never lets an exception out.
#pragma once

#include <map>
#include <memory>
#include <new>
#include <optional>

#include "engine/cursor.h"
#include "engine/database.h"
#include "engine/dbengine.h"
#include "engine/errors.h"
#include "engine/key_ring.h"
#include "engine/record.h"
#include "engine/server_errors.h"

namespace dbe::api {

// Objects behind handles of one kind, each with the database it belongs to (if any).
template <class T>
class HandleTable {
  public:
    T* Add(std::unique_ptr<T> item, const void* owner = nullptr) {
        T* raw = item.get();
        items_[raw] = Entry{std::move(item), owner};
        return raw;
    }
    T& Get(const void* handle) const {
        const auto found = items_.find(handle);
        if (found == items_.end()) throw EngineError(DBIERR_INVALIDHNDL);
        return *found->second.item;
    }
    const void* OwnerOf(const void* handle) const {
        Get(handle);
        return items_.at(handle).owner;
    }
    void Remove(const void* handle) {
        Get(handle);
        items_.erase(handle);
    }
    void RemoveOwnedBy(const void* owner) {
        std::erase_if(items_, [&](const auto& entry) { return entry.second.owner == owner; });
    }
    bool Empty() const { return items_.empty(); }

  private:
    struct Entry {
        std::unique_ptr<T> item;
        const void* owner = nullptr;
    };
    std::map<const void*, Entry> items_;
};

// A prepared query: the answer's view, made into a cursor by each execution.
struct QueryStatement {
    View answer;
};

struct Engine {
    // The passwords outlive the databases whose files they opened.
    KeyRing keys;
    // Cursors and statements are declared after databases so that they close first.
    HandleTable<Database> databases;
    HandleTable<QueryStatement> statements;
    HandleTable<Cursor> cursors;
    HandleTable<Record> records;
};

// The engine, while started.
std::optional<Engine>& State();
Engine& Started();

// Runs one entry point's body.
template <class Body>
DBIResult Call(Body&& body) noexcept {
    try {
        ErrorStack::Clear();
        body();
        return DBIERR_NONE;
    } catch (const EngineError& error) {
        return ErrorStack::Set(error);
    } catch (const sqlitekit::Error& error) {
        return ErrorStack::Set(FromSqlite(error));
    } catch (const pgkit::Error& error) {
        return ErrorStack::Set(FromServer(error));
    } catch (const std::bad_alloc&) {
        return ErrorStack::Set(EngineError(DBIERR_NOMEMORY));
    } catch (const std::exception& error) {
        return ErrorStack::Set(EngineError(DBIERR_INTERNAL, error.what()));
    } catch (...) {
        return ErrorStack::Set(EngineError(DBIERR_INTERNAL));
    }
}

// Runs a body on a cursor; the storage's failures gain an entry naming the cursor's table.
template <class Body>
DBIResult CursorCall(hDBICur handle, Body&& body) noexcept {
    return Call([&] {
        Cursor& cursor = Started().cursors.Get(handle);
        try {
            body(cursor);
        } catch (const sqlitekit::Error& error) {
            throw FromSqlite(error).With(ContextLine(kTableLine, cursor.GetView().table->Path()));
        } catch (const pgkit::Error& error) {
            throw FromServer(error).With(ContextLine(kTableLine, cursor.GetView().table->Path()));
        }
    });
}

// Throws DBIERR_INVALIDPARAM when a required pointer is null.
inline void Require(const void* pointer) {
    if (pointer == nullptr) throw EngineError(DBIERR_INVALIDPARAM);
}

// The record behind `handle`, which must have the shape of `cursor`'s records.
Record& RecordFor(const Cursor& cursor, hDBIRec handle);
// The 0-based index of field `fieldNo` (1-based) of `cursor`.
int FieldIndex(const Cursor& cursor, std::uint16_t fieldNo);

}  // namespace dbe::api

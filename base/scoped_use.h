// Holds an object that is used again and again (a cached prepared statement) for one use, and
// calls its Reset() when the use leaves scope, whatever way it leaves.
#pragma once

template <class T>
class ScopedUse {
  public:
    explicit ScopedUse(T& used) : used_(used) {}
    ~ScopedUse() { used_.Reset(); }
    ScopedUse(const ScopedUse&) = delete;
    ScopedUse& operator=(const ScopedUse&) = delete;

    T* operator->() const { return &used_; }
    T& operator*() const { return used_; }

  private:
    T& used_;
};

#pragma once

#include <glib-object.h>

#include <utility>

// Holds one reference to a GObject and drops it when it goes, as a unique_ptr holds memory.
// Made from a pointer whose reference the caller owns (what a "transfer full" call returns).
template <typename T>
class GObjectRef {
public:
    GObjectRef() = default;
    explicit GObjectRef(T* object) : object_(object) {}
    ~GObjectRef() { Reset(); }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectRef& operator=(GObjectRef&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.object_, nullptr));
        }
        return *this;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset(T* object = nullptr) {
        if (object_ != nullptr) {
            g_object_unref(object_);
        }
        object_ = object;
    }

private:
    T* object_ = nullptr;
};

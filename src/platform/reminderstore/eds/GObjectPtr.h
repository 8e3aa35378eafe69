#pragma once

#include <glib-object.h>

#include <memory>

namespace quorvin {

struct GObjectUnref {
    void operator()(gpointer object) const
    {
        if (object) {
            g_object_unref(object);
        }
    }
};

// A reference to a GObject, dropped with its holder.
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

} // namespace quorvin

#pragma once

#include <QString>

#include <optional>

namespace quorvin {

// What the machine says about itself, for the id and the readable label the cloud account shows in
// its device list. Each member stands in for one platform query and answers the empty text (or
// none) when that query gives nothing, so the caller falls through to its next source.
class DeviceIdentitySource {
public:
    virtual ~DeviceIdentitySource() = default;

    // A stable id of this machine, trimmed; none when the machine has none. Private to this
    // machine: callers only ever hash it.
    virtual std::optional<QString> platformUUID() const = 0;

    // A short hardware overview in "Key: value" lines, one line per fact: "Model Name" (what the
    // firmware calls the machine) and "Chip" (the processor). Empty when no model name is known.
    virtual QString hardwareOverviewReport() const = 0;

    // The machine's model identifier (here the processor's model name); empty when unknown.
    virtual QString hardwareModelIdentifier() const = 0;

    // This machine's source. It reads the system once per process, on first use.
    static const DeviceIdentitySource &system();
};

} // namespace quorvin

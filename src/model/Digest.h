#pragma once

#include <QByteArray>
#include <QString>

namespace quorvin {

// SHA-256 of the bytes as 64 lowercase hexadecimal characters.
QString sha256Hex(QByteArrayView bytes);

// The same of a text's UTF-8 bytes.
QString sha256Hex(const QString &text);

// The two ways the digest is computed: the processor's SHA instructions where the processor has
// them, else Qt's portable code. Automatic picks the first that is available.
enum class Sha256Engine { Automatic, ProcessorInstructions, Portable };

bool sha256ProcessorInstructionsAvailable();

// The digest by the given engine; ProcessorInstructions falls back to Portable where the
// instructions are missing. Lets tests hold both engines against each other.
QString sha256Hex(QByteArrayView bytes, Sha256Engine engine);

} // namespace quorvin

#pragma once

#include <QByteArray>

// Writes every byte to the descriptor, going on after a write cut short or
// interrupted by a signal; gives up silently when the descriptor refuses the
// rest. Plain calls only, so a message handler may use it.
void WriteAll(int fd, const QByteArray& bytes);

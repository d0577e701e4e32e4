#pragma once
// The program's pictures, drawn from the SVG files in app/artwork.

#include <QIcon>
#include <QPixmap>
#include <QString>

// `name` ("splash", "play", ...) rendered at `width` x `height` pixels.
QPixmap ArtworkPixmap(const QString& name, int width, int height);
// The item view's row icons: a dark red note for programs, a green waveform for samples.
QIcon ItemIcon(bool program);
// The window icon.
QIcon ProgramIcon();

#include "app/internal/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

QPixmap ArtworkPixmap(const QString& name, int width, int height) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(":/artwork/" + name + ".svg");
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

QIcon ItemIcon(bool program) { return QIcon(ArtworkPixmap(program ? "program" : "sample", 16, 16)); }

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 256}) icon.addPixmap(ArtworkPixmap("carvox", size, size));
  return icon;
}

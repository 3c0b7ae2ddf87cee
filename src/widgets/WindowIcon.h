#pragma once

#include <QIcon>
#include <QImage>

// The 32 x 32, 16-colour icon of the bridge's windows: a mast with waves.
QIcon keldanWindowIcon();

// The same drawing at sizePixels x sizePixels, for the desktop's icon theme.
QImage keldanIconImage(int sizePixels);

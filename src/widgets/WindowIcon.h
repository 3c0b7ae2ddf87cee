#pragma once

#include <QIcon>

// The 32 x 32, 16-colour icon of the bridge's windows: a mast with waves.
QIcon keldanWindowIcon();

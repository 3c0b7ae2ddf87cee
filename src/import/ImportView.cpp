#include "import/ImportView.h"

int ImportView::checkValue(int checkNumber) const
{
    switch (checkNumber) {
    case 1:
        return mSwitches.storeFixed ? 1 : 0;
    case 2:
        return mSwitches.storeMobile ? 1 : 0;
    case 3:
        return mSwitches.storeWx ? 1 : 0;
    case 4:
        return mSwitches.enforceExclusions ? 1 : 0;
    default:
        return 1;  // Enable Bridge
    }
}

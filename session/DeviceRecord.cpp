#include "DeviceRecord.h"

#include "AddressTable.h"
#include "ConfigReport.h"

ImageDifference CompareImages(const ParamImage& a, const ParamImage& b)
{
    ImageDifference difference;
    for (int i = 0; i < ParamImage::StoredSize; ++i) {
        if (a.byte(i) != b.byte(i))
            ++(i < AddressTable::Addresses ? difference.addresses : difference.otherBytes);
    }
    return difference;
}

bool HasBitsTableCannotShow(const ParamImage& image)
{
    // The same judgement as the listing of such bits (lumkctl show).
    return !UnshownBitsText(image).isEmpty();
}

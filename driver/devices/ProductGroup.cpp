#include "ProductGroup.h"

ProductGroup GetProductGroup(int32_t productID) {
    switch (productID) {
        case 0x2512:
        case 0x1878:
            return ProductGroup::A;
        case 0x149A:
        case 0x0C1C:
        case 0x14A4:
            return ProductGroup::B;
        case 0x0BB8:
            return ProductGroup::C;
        case 0x091A:
            return ProductGroup::D;
        case 0x1844:
        case 0x184C:
            return ProductGroup::E;
        case 0x0213:
            return ProductGroup::F;
        case 0x0025:
            return ProductGroup::G;
        default:
            return ProductGroup::None;
    }
}

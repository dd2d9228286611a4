#pragma once

#include "collection/CLumivaneDoc.h"
#include "collection/Notifier.h"
#include "photo/PhotoItem.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for the geometry types.
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
inline void PrintTo(const Size& s, std::ostream* os) {
    *os << s.width << " x " << s.height;
}

// Photo records and documents for the chart tests, made without any file.

struct ChartTestNotifier : Notifier {
    void Notify(const std::string& text, Icon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// A record with the exposure fractions set directly and a plain thumbnail of the given size.
std::unique_ptr<PhotoItem> MakeChartPhoto(int32_t timeNum, int32_t timeDen, int32_t fNum, int32_t fDen,
                                          int thumbWidth = 237, int thumbHeight = 158);

// Every photo of the document, for MakeDisplayPictures.
std::vector<const PhotoItem*> AllPhotos(const CLumivaneDoc& doc);

// A document that owns its notifier.
struct ChartTestDoc {
    ChartTestNotifier notifier;
    CLumivaneDoc doc{notifier};

    PhotoItem& Add(std::unique_ptr<PhotoItem> photo) {
        PhotoItem& ref = *photo;
        doc.AppendPhoto(std::move(photo));
        return ref;
    }
};

#include "tests/chart/ChartFixtures.h"

#include <opencv2/core.hpp>

std::unique_ptr<PhotoItem> MakeChartPhoto(int32_t timeNum, int32_t timeDen, int32_t fNum, int32_t fDen,
                                          int thumbWidth, int thumbHeight) {
    auto photo = std::make_unique<PhotoItem>();
    photo->path = "/photos/IMG_" + std::to_string(timeNum) + "_" + std::to_string(timeDen) + ".JPG";
    photo->exposureValid = 1;
    photo->exposureTimeNum = timeNum;
    photo->exposureTimeDen = timeDen;
    photo->fNumberNum = fNum;
    photo->fNumberDen = fDen;
    photo->iso = 100;
    photo->thumbnail.topDown = 1;
    photo->thumbnail.image = cv::Mat(thumbHeight, thumbWidth, CV_8UC3, cv::Scalar(40, 160, 90));
    return photo;
}

std::vector<const PhotoItem*> AllPhotos(const CLumivaneDoc& doc) {
    std::vector<const PhotoItem*> photos;
    for (const auto& photo : doc.Photos()) {
        photos.push_back(photo.get());
    }
    return photos;
}

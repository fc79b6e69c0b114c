#include "media/CPlayerGraph.h"

#include "renderer/MediaGraph.h"

namespace kobal::media {

int64_t CPlayerGraph::GetDuration() const {
    int64_t d = 0;
    if (!graph_ || graph_->GetDuration(&d) != render::S_OK) return 0;
    return d * 10 / 10000000;
}

bool CPlayerGraph::GetPosition(int64_t* tenths) const {
    int64_t p = 0;
    if (!graph_ || graph_->GetCurrentPosition(&p) != render::S_OK) return false;
    *tenths = p * 10 / 10000000;
    return true;
}

bool CPlayerGraph::Seek(int64_t tenths) {
    if (!graph_) return false;
    unsigned caps = render::AM_SEEKING_CanSeekAbsolute | render::AM_SEEKING_CanSeekForwards |
                    render::AM_SEEKING_CanSeekBackwards;
    if (graph_->CheckCapabilities(&caps) != render::S_OK) return false;
    return graph_->SetCurrentPosition(tenths * 1000000) == render::S_OK;
}

int64_t CPlayerGraph::seekTarget(int64_t durationTenths, int trackWidth, int thumb) {
    if (trackWidth <= 0) return 0;
    return int64_t(double(durationTenths) / trackWidth * thumb);
}

} // namespace kobal::media

#include "Service/NetworkConfig.h"

#include "Service/NetUrlFilter.h"

NetworkConfig &NetworkConfig::sharedConfig()
{
    // Lives for the whole process; never destroyed, so late requests at exit still find it.
    static NetworkConfig *config = new NetworkConfig;
    return *config;
}

void NetworkConfig::addUrlFilter(const std::shared_ptr<NetUrlFilter> &filter)
{
    if (filter)
        m_urlFilters.push_back(filter);
}

#include "platform/net/adapter_order.h"

#include <algorithm>
#include <numeric>

namespace orvane::adapters {

std::vector<std::size_t> ShownOrder(const std::vector<OrderFacts>& adapters)
{
    std::size_t lead = adapters.size();
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const OrderFacts& a = adapters[i];
        if (a.active && a.holdsDefaultRoute &&
            (lead == adapters.size() || a.defaultMetric < adapters[lead].defaultMetric))
            lead = i;
    }
    const auto rank = [&](std::size_t i) { return i == lead ? 0 : adapters[i].active ? 1 : 2; };
    std::vector<std::size_t> order(adapters.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    return order;
}

}  // namespace orvane::adapters

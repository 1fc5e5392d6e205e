#include "commands.h"

#include "generator/meshcheck.h"
#include "water/rivers.h"

namespace {

class InfoJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Describes the world in DIR: counts, subdivision and the "
                                     "share of vertices at each level. Refuses a world the "
                                     "editor would refuse."));
    }

    Status read(const OptionTexts &) override { return Status(); }

    Status run(const Call &call, Summary &summary) override
    {
        summary.out(worldSummary(call.world.header, call.world.levels)
                    << describeWater(call.world) << call.levelsLine);
        return Status();
    }
};

} // namespace

std::unique_ptr<Job> makeInfo()
{
    return std::make_unique<InfoJob>();
}

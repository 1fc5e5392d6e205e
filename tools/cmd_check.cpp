#include "commands.h"

#include "generator/meshcheck.h"
#include "world/filenames.h"

namespace {

const QCommandLineOption guiOption(QStringLiteral("gui"),
                                   QStringLiteral("Also show the problems in a message box, when "
                                                  "there is a display."));

class CheckJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Checks the world in DIR as the editor does, then the mesh: "
                                     "orientation, outlines and fan order. Prints the problems "
                                     "on stderr, or a summary when there are none."));
        line.addOptions({guiOption});
    }

    Status read(const OptionTexts &) override { return Status(); }

    Status run(const Call &call, Summary &summary) override
    {
        call.progress.update(0.5);
        const Status checked = checkWorld(call.world);
        summary.worldRefused = !checked.ok();
        summary.out(worldSummary(call.world.header, call.world.levels)
                    << call.levelsLine
                    << aboutFile(call.dir, QStringLiteral("passed: the editor opens this world")));
        return checked;
    }
};

} // namespace

std::unique_ptr<Job> makeCheck()
{
    return std::make_unique<CheckJob>();
}

#include "tests/common/SimulatedBoardTest.h"

void SimulatedBoardTest::StartBoard(const SimOptions& options)
{
    sim.reset();
    sim = std::make_unique<TBoardSim>(options);
    ASSERT_TRUE(sim->Start()) << sim->ErrorText();
}

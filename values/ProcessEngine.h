#pragma once

#include <memory>

class MivEngine;
class MivConverter;

// The process-wide engine objects: the engine through which the main window adds its
// controller, and the value converter for value texts. Set while a ProcessEngine lives.
extern MivEngine *g_mivEngine;
extern MivConverter *g_mivConverter;

// Creates both objects and clears them again when it goes. The program's main holds one for
// its whole run; so does every test that drives the windows. Throws MivError when the engine
// cannot be created.
class ProcessEngine
{
public:
    ProcessEngine();
    ~ProcessEngine();
    ProcessEngine(const ProcessEngine &) = delete;
    ProcessEngine &operator=(const ProcessEngine &) = delete;

private:
    std::unique_ptr<MivEngine> m_engine;
    std::unique_ptr<MivConverter> m_converter;
};

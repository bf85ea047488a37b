#include "ProcessEngine.h"

#include "MivConverter.h"
#include "MivEngine.h"

MivEngine *g_mivEngine = nullptr;
MivConverter *g_mivConverter = nullptr;

ProcessEngine::ProcessEngine()
    : m_engine(std::make_unique<MivEngine>()), m_converter(std::make_unique<MivConverter>())
{
    g_mivEngine = m_engine.get();
    g_mivConverter = m_converter.get();
}

ProcessEngine::~ProcessEngine()
{
    g_mivEngine = nullptr;
    m_engine.reset();
    g_mivConverter = nullptr;
}

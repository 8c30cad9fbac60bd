#pragma once

/**
 * Registers the program's compiled-in pictures (":/splash.png", ":/startup.png").
 * The resources live in a static library, so a window that shows them calls
 * this first; calls after the first do nothing.
 */
void initProgramResources();

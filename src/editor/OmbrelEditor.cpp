#include "OmbrelEditor.h"

#include <GL/freeglut.h>

#include <cstdlib>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include "FileIO.h"
#include "Graphics.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

FileIO* input = new FileIO;
Graphics* graphics = nullptr;

// "-i NAME" and "-o NAME"; only an option's first two characters count, its
// value is the next argument whatever it looks like, and everything else is
// skipped. An option with nothing after it is ignored.
void arguments(int argc, char** argv)
{
    while (--argc > 0) {
        ++argv;
        const char* const argument = *argv;
        if (argument[0] != '-' || (argument[1] != 'i' && argument[1] != 'o') || argc == 1)
            continue;
        ++argv;
        --argc;
        if (argument[1] == 'i')
            input->setInputName(*argv);
        else
            input->setOutputName(*argv);
    }
}

void display() { graphics->Display(); }
void reshape(int width, int height) { graphics->Reshape(width, height); }
void mouse(int button, int state, int x, int y) { graphics->Mouse(button, state, x, y); }
void mousemoved(int x, int y) { graphics->MouseMoved(x, y); }
void keyboard(unsigned char key, int x, int y) { graphics->Keyboard(key, x, y); }
void specialKeyboard(int key, int x, int y) { graphics->SpecialKeyboard(key, x, y); }
void windowStatus(int state) { graphics->WindowStatus(state); }

#ifndef OMBREL_NO_MAIN
int main(int argc, char** argv)
{
    arguments(argc, argv);
    graphics = new Graphics(input);

    // freeglut must be initialised, but it gets only the program name: the
    // command line is ours alone.
    static char fallbackName[] = "ombrel-editor";
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    glutInit(&toolkitArgc, toolkitArgv);
#ifdef __SANITIZE_ADDRESS__
    // Sanitized builds look for leaks before freeglut's exit handler closes
    // the display: that unloads the GL driver, whose allocations then can't
    // be told apart from ours.
    std::atexit(__lsan_do_leak_check);
#endif
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(kInitialWindowWidth, kInitialWindowHeight);
    glutInitWindowPosition(150, 150);
    glutCreateWindow("Ombrel Editor");
    graphics->DrawingSetup();

    glutDisplayFunc(display);
    // No idle callback: the editor draws only when something changes, and
    // registers its own while a drag needs steps.
    glutReshapeFunc(reshape);
    glutMouseFunc(mouse);
    glutMotionFunc(mousemoved);
    glutPassiveMotionFunc(mousemoved);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKeyboard);
    glutWindowStatusFunc(windowStatus);
    glutMainLoop();
    return 0;
}
#endif

"""Builds the native library with CMake and ships it inside the package.

`pip install ./python` and `pip wheel ./python` configure this checkout's
CMake project with the library alone, build it, and copy the runtime file
into the package directory, where the binding finds it when
QUORLIND_LIBRARY is not set. The wheel is therefore platform-specific, but
not tied to one Python version: the library is loaded through ctypes.
"""

import os
import shutil
import subprocess

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:
    from wheel.bdist_wheel import bdist_wheel

PYTHON_DIR = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(PYTHON_DIR)

# The names under which the binding looks for the library next to itself.
LIBRARY_NAMES = ("libquorlind.so.1", "quorlind.dll", "libquorlind.1.dylib")


class NativeDistribution(Distribution):
    """Installs into the platform's library directory and tags the wheel."""

    def has_ext_modules(self):
        return True


class build_py_with_library(build_py):
    """Builds the package's Python files, then the library beside them."""

    def run(self):
        super().run()
        if not self.dry_run:
            self.build_library()

    def build_library(self):
        if not os.path.isfile(os.path.join(REPOSITORY, "native", "CMakeLists.txt")):
            raise RuntimeError(f"the quorlind sources are not in {REPOSITORY}: build from a checkout")
        cmake = os.environ.get("CMAKE", "cmake")
        build_temp = self.get_finalized_command("build").build_temp
        build_dir = os.path.abspath(os.path.join(build_temp, "native"))
        stage = os.path.abspath(os.path.join(build_temp, "native-stage"))

        configure = [cmake, "-S", REPOSITORY, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                     "-DQUORLIND_BUILD_TESTS=OFF", "-DQUORLIND_BUILD_HOST=OFF"]
        # A generator can only be chosen for a new build directory.
        if shutil.which("ninja") and not os.path.isfile(os.path.join(build_dir, "CMakeCache.txt")):
            configure += ["-G", "Ninja"]
        self.spawn_checked(configure)
        self.spawn_checked([cmake, "--build", build_dir, "--target", "quorlind"])
        shutil.rmtree(stage, ignore_errors=True)
        self.spawn_checked([cmake, "--install", build_dir, "--component", "Runtime", "--prefix", stage])

        package_dir = os.path.join(self.build_lib, "quorlind")
        copied = []
        for directory, _, files in os.walk(stage):
            for name in files:
                if name in LIBRARY_NAMES:
                    # The versioned name is a link; the package holds the file itself.
                    shutil.copyfile(os.path.join(directory, name), os.path.join(package_dir, name))
                    copied.append(name)
        if not copied:
            raise RuntimeError(f"the CMake build installed none of {', '.join(LIBRARY_NAMES)} under {stage}")

    def spawn_checked(self, command):
        print(" ".join(command))
        subprocess.run(command, check=True)


class bdist_wheel_native(bdist_wheel):
    """py3-none-<platform>: native code, but no Python extension module."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        _, _, platform = super().get_tag()
        return "py3", "none", platform


setup(
    distclass=NativeDistribution,
    cmdclass={"build_py": build_py_with_library, "bdist_wheel": bdist_wheel_native},
)

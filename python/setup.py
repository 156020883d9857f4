# Builds the vexlor_dxf package with CMake from the repository around this folder and packs the
# installed package folder (module, libraries, Python files, stubs) into the wheel.
# SPDX-License-Identifier: MIT
import os
import re
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(VexlorDxf VERSION ([0-9.]+)", cmake.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.join(ROOT, "build", "wheel")
        jobs = os.environ.get("JOBS", str(os.cpu_count() or 2))
        subprocess.check_call(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                               "-DVEXLOR_DXF_BUILD_PYTHON=ON", "-DVEXLOR_DXF_BUILD_TESTS=OFF",
                               "-DVEXLOR_DXF_BUILD_TOOLS=OFF", f"-DPython_EXECUTABLE={sys.executable}"])
        subprocess.check_call(["cmake", "--build", build, "-j", jobs, "--target", "vexlor_dxf_python"])
        # The package folder lands in build_lib as vexlor_dxf/, search paths set to $ORIGIN.
        subprocess.check_call(["cmake", "--install", build, "--component", "python",
                               "--prefix", os.path.abspath(self.build_lib)])


# setuptools' own folders go into the CMake build folder, not beside the sources.
STAGING = os.path.join(ROOT, "build", "wheel-setup")
os.makedirs(STAGING, exist_ok=True)

setup(
    version=version(),
    options={"build": {"build_base": STAGING}, "egg_info": {"egg_base": STAGING}},
    packages=[],
    ext_modules=[Extension("vexlor_dxf._native", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)

package kvotest;

public class Throw {
    public static void main(String[] args) {
        throw new IllegalStateException("thrown by the application");
    }
}
